import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The message popup closes on any tap; the Yes/No dialog only through its buttons, each
// emitting its own signal before it closes.
TestCase {
    id: testCase
    name: "CustomPopup"
    width: 480
    height: 800
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: popupComponent
        CustomPopup {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    property var opened: []

    function openPopup(properties) {
        var popup = createTemporaryObject(popupComponent, testCase, properties);
        verify(popup);
        popup.open();
        tryCompare(popup, "opened", true);
        opened.push(popup);
        return popup;
    }

    function test_heights_data() {
        return [
            { tag: "message", properties: {}, width: 400, height: 200 },
            { tag: "with an image", properties: { imageSource: "qrc:/qml/images/Icons/orvo.png" }, width: 400, height: 300 },
            { tag: "dialog", properties: { isDialog: true }, width: 400, height: 200 },
            { tag: "given size", properties: { windowWidth: 300, windowHeight: 500 }, width: 300, height: 500 },
        ];
    }

    function test_heights(data) {
        var popup = openPopup(data.properties);
        compare(popup.width, data.width);
        compare(popup.height, data.height);
        // Centred in the window.
        compare(popup.x, (testCase.width - data.width) / 2);
        compare(popup.y, (testCase.height - data.height) / 2);
    }

    // A scanned configuration: seven settings, one of them an address long enough to wrap.
    // The popup grows to show every line whole; what the window cannot hold ends in an
    // ellipsis instead of being cut through a line.
    function test_longTextWrapsOrElides_data() {
        var lines = ["CONFIGURATION APPLIED", "OBC : mqtt://obu:********@" + "validation-gateway-".repeat(8) + "depot.example:1883",
                     "Method : manual", "Address : 10.0.0.5", "Netmask : 255.255.255.0", "Gateway : 10.0.0.1",
                     "DNS #0 : 10.0.0.2", "DNS #1 : 10.0.0.3"];
        return [
            { tag: "configuration applied", text: lines.join("\n"), elided: false },
            { tag: "more than the window holds", text: lines.concat(lines, lines, lines, lines, lines).join("\n"), elided: true },
        ];
    }

    function test_longTextWrapsOrElides(data) {
        var popup = openPopup({ text: data.text });
        var text = findChild(popup.contentItem, "popupText");
        verify(popup.height > 200, "grown for its text");
        verify(popup.y >= 0 && popup.y + popup.height <= testCase.height, "within the window");
        compare(text.truncated, data.elided);
        verify(text.contentWidth <= text.width + 1, "wrapped, not cut at the side");
        if (!data.elided)
            verify(text.contentHeight <= text.height, "every line shown whole");
    }

    function test_imageAddsHeightWhenSetLater() {
        var popup = openPopup({});
        popup.imageSource = "qrc:/qml/images/Icons/orvo.png";
        compare(popup.height, 300);
        popup.imageSource = "";
        compare(popup.height, 200);
    }

    function test_messageCloses_data() {
        return [
            { tag: "tap inside", x: 240, y: 400 },
            { tag: "tap outside", x: 20, y: 20 },
        ];
    }

    function test_messageCloses(data) {
        var popup = openPopup({ text: "Broker unreachable" });
        mouseClick(testCase, data.x, data.y);
        tryCompare(popup, "visible", false);
    }

    function test_dialogStaysOpen_data() {
        return test_messageCloses_data();
    }

    function test_dialogStaysOpen(data) {
        var popup = openPopup({ isDialog: true, text: "Please confirm" });
        // Closing starts in the tap's own handler: a popup on its way out says so at once.
        var hiding = createTemporaryObject(spyComponent, testCase, { target: popup, signalName: "aboutToHide" });
        mouseClick(testCase, data.x, data.y);
        compare(hiding.count, 0, "a tap does not dismiss a dialog");
        keyClick(Qt.Key_Escape);
        compare(hiding.count, 0, "Escape does not dismiss a dialog either");
        verify(popup.visible);
    }

    function test_dialogButtons_data() {
        return [
            { tag: "Yes", button: "popupYesButton", yes: 1, no: 0 },
            { tag: "No", button: "popupNoButton", yes: 0, no: 1 },
        ];
    }

    function test_dialogButtons(data) {
        var popup = openPopup({ isDialog: true, text: "Please confirm" });
        var yes = createTemporaryObject(spyComponent, testCase, { target: popup, signalName: "buttonYesPressed" });
        var no = createTemporaryObject(spyComponent, testCase, { target: popup, signalName: "buttonNoPressed" });
        var closedWhenSignalled = [];
        popup.buttonYesPressed.connect(function() { closedWhenSignalled.push(!popup.visible); });
        popup.buttonNoPressed.connect(function() { closedWhenSignalled.push(!popup.visible); });
        var button = findChild(popup.contentItem, data.button);
        verify(button);
        mouseClick(button);
        compare(yes.count, data.yes);
        compare(no.count, data.no);
        compare(closedWhenSignalled, [false], "the signal comes while the dialog is still open");
        tryCompare(popup, "visible", false);
    }

    function test_messageHasNoButtons() {
        var popup = openPopup({ text: "Broker unreachable" });
        verify(!findChild(popup.contentItem, "popupYesButton").visible);
        compare(findChild(popup.contentItem, "popupText").text, "Broker unreachable");
        var dialog = openPopup({ isDialog: true });
        compare(findChild(dialog.contentItem, "popupYesButton").Accessible.name, "Yes");
        compare(findChild(dialog.contentItem, "popupNoButton").Accessible.name, "No");
    }

    // A popup destroyed while open leaks inside the toolkit; close each one first.
    function cleanup() {
        testTranslator.load("");
        manager.dynTrChanged();
        opened.forEach(function(popup) {
            popup.close();
            tryCompare(popup, "visible", false);
        });
        opened = [];
    }

    // The buttons turn to Ναι and Όχι when the manager's dynTr notifies a language change, and
    // each still emits its own signal.
    function test_greekButtons_data() {
        return [
            { tag: "Ναι", button: "popupYesButton", text: "Ναι", yes: 1, no: 0 },
            { tag: "Όχι", button: "popupNoButton", text: "Όχι", yes: 0, no: 1 },
        ];
    }

    function test_greekButtons(data) {
        var popup = openPopup({ isDialog: true });
        var button = findChild(popup.contentItem, data.button);
        verify(testTranslator.load("el_GR"));
        manager.dynTrChanged();
        compare(button.text, data.text);
        compare(button.Accessible.name, data.text);
        var yes = createTemporaryObject(spyComponent, testCase, { target: popup, signalName: "buttonYesPressed" });
        var no = createTemporaryObject(spyComponent, testCase, { target: popup, signalName: "buttonNoPressed" });
        mouseClick(button);
        compare(yes.count, data.yes);
        compare(no.count, data.no);
    }
}
