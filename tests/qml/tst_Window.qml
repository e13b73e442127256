import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import "qrc:/qml/controls"
import "qrc:/qml/style"

// The window follows the manager: one screen at a time, the header hidden where it must be,
// the single-animation screens handing over by themselves, errors in the popup.
TestCase {
    id: testCase
    name: "Window"
    when: windowShown

    property var window: null

    function initTestCase() {
        var component = Qt.createComponent("qrc:/qml/main.qml");
        compare(component.status, Component.Ready, component.errorString());
        window = component.createObject(null);
        verify(window);
        waitForRendering(window.contentItem);
        loadedAtStart = loadedScreens();
    }

    function cleanupTestCase() {
        window.destroy();
    }

    function init() {
        manager.screen = "Busy";
        manager.language = "en_IE";
    }

    function cleanup() {
        Qt.inputMethod.hide();
        window.Material.theme = Material.Dark;
    }

    // The one keyboard of the window: the serial field asks for Latin capitals even on a Greek
    // unit, the screen gives way to the keyboard, a hidden screen keeps no focus and a popup
    // puts the keyboard away.
    function test_keyboard() {
        manager.language = "el_GR";
        manager.screen = "InitPage";
        var field = findChild(window.contentItem, "serialField");
        var keyboard = findChild(window.contentItem, "keyboardPanel");
        var area = findChild(window.contentItem, "screenArea");
        tryVerify(function() { return field.activeFocus; });
        compare(keyboard.language, "en_IE");
        Qt.inputMethod.show();
        tryCompare(keyboard, "shown", true);
        compare(area.height, window.height - 120 - 250);
        tryCompare(keyboard, "panelY", 0);

        var errors = findChild(window.contentItem, "errorPopup");
        manager.errorOccured("Broker unreachable");
        tryCompare(errors, "opened", true);
        verify(!keyboard.shown);
        verify(!Qt.inputMethod.visible);
        errors.close();
        tryCompare(errors, "visible", false);

        manager.screen = "Settings";
        verify(!field.activeFocus, "a hidden screen keeps no focus");
        compare(area.height, window.height);
    }

    Component {
        id: rowComponent
        MessageRowItem { width: 400; title: "Login"; time: "07-Dec-26 17:29" }
    }

    // The Display page's theme switch reaches the shared controls through the style: the PIN
    // pad, the PIN field and its lock, an event row and its clock take the design's light or
    // dark colours, and come back.
    function test_sharedControlsFollowTheTheme_data() {
        return [
            { tag: "light", theme: Material.Light, dark: false, background: "#fafafa", key: "#ffffff",
              keyText: "#000000", keyBorder: "#000000", clear: "#d6d6d6", field: "#ffffff", fieldBorder: "#e2e2e2",
              lock: "color=43496a", row: "#ffffff", rowText: "#43496a", rowTime: "#70758e" },
            { tag: "dark", theme: Material.Dark, dark: true, background: "#303030", key: "#000000",
              keyText: "#ffffff", keyBorder: "#00000000", clear: "#757575", field: "#000000", fieldBorder: "#000000",
              lock: "color=00add7", row: "#000000", rowText: "#ffffff", rowTime: "#ffffff" }
        ];
    }

    function test_sharedControlsFollowTheTheme(data) {
        // From the other theme, so every colour has to change to pass.
        window.Material.theme = data.dark ? Material.Light : Material.Dark;
        window.Material.theme = data.theme;
        compare(Style.dark, data.dark);
        compare(String(Style.background), data.background);

        var pad = findChild(window.contentItem, "pinPad");
        var digit = findChild(pad, "calc_1");
        compare(String(digit.color), data.key);
        compare(String(digit.textColor), data.keyText);
        compare(String(digit.borderColor), data.keyBorder);
        compare(String(findChild(pad, "calc_CLR").color), data.clear);

        var field = findChild(window.contentItem, "pinField");
        compare(String(field.color), data.field);
        compare(String(field.border.color), data.fieldBorder);
        verify(String(findChild(field, "lockIcon").source).indexOf(data.lock) > 0, findChild(field, "lockIcon").source);

        var row = createTemporaryObject(rowComponent, window.contentItem);
        compare(String(row.backgroundColor), data.row);
        compare(String(findChild(row, "title").color), data.rowText);
        compare(String(findChild(row, "time").color), data.rowTime);
    }

    function visibleScreens() {
        var names = [];
        var area = findChild(window.contentItem, "screenArea");
        for (var i = 0; i < area.children.length; ++i) {
            var loader = area.children[i];
            if (loader.visible && loader.item)
                names.push(loader.objectName.replace("screen_", ""));
        }
        return names;
    }

    function test_headerAndScreenPerName_data() {
        return [
            { tag: "Busy", screen: "Busy", header: true, shown: ["Busy"] },
            { tag: "ScanScreens", screen: "ScanScreens", header: true, shown: ["ScanScreens"] },
            { tag: "Valid", screen: "Valid", header: true, shown: ["Valid"] },
            { tag: "Login keeps the header", screen: "Login", header: true, shown: ["Login"] },
            { tag: "Settings hides it", screen: "Settings", header: false, shown: ["Settings"] },
            { tag: "ScreenSaver hides it", screen: "ScreenSaver", header: false, shown: ["ScreenSaver"] },
            { tag: "unknown name shows no screen", screen: "Media", header: true, shown: [] },
            { tag: "names are case-sensitive", screen: "valid", header: true, shown: [] },
        ];
    }

    function test_headerAndScreenPerName(data) {
        manager.screen = data.screen;
        compare(window.currentScreen, data.screen);
        compare(findChild(window.contentItem, "header").visible, data.header);
        compare(visibleScreens(), data.shown);
        // Screens fill the window below the header, or all of it without one.
        var area = findChild(window.contentItem, "screenArea");
        compare(area.y, data.header ? 120 : 0);
        compare(area.height, window.height - area.y);
    }

    // Screens loaded when the window first drew, by name.
    property var loadedAtStart: []

    function loadedScreens() {
        var names = [];
        var area = findChild(window.contentItem, "screenArea");
        for (var i = 0; i < area.children.length; ++i) {
            var loader = area.children[i];
            if (loader.status === Loader.Ready)
                names.push(loader.objectName.replace("screen_", ""));
        }
        return names.sort();
    }

    // The passengers' screens are there from the first frame; the maintenance area is built
    // the first time it shows, so starting does not wait for it.
    function test_passengerScreensLoadedAtStart() {
        compare(loadedAtStart, ["AlreadyValid", "Busy", "InitPage", "Invalid", "OutOfOrder", "OutOfService",
                                "Retry", "ScanBarcode", "ScanCard", "ScanScreens", "ScreenSaver", "Valid"]);
    }

    function test_everyScreenLoadedWhenShown_data() {
        return ["InitPage", "Busy", "ScanCard", "ScanBarcode", "ScanScreens", "Valid", "Invalid", "AlreadyValid",
                "Retry", "OutOfOrder", "OutOfService", "ScreenSaver", "Settings", "Login"].map(function(name) {
            return { tag: name, screen: name };
        });
    }

    // Each screen is whole the moment it shows, and stays built once it has been shown.
    function test_everyScreenLoadedWhenShown(data) {
        manager.screen = data.screen;
        var loader = findChild(window.contentItem, "screen_" + data.screen);
        compare(loader.status, Loader.Ready);
        compare(loader.item.objectName, data.screen);
        verify(loader.item.visible);
        manager.screen = data.screen === "Busy" ? "Valid" : "Busy";
        verify(!loader.visible);
        compare(loader.status, Loader.Ready);
    }

    // The PIN pad takes the first press on a Login page built by that very screen change.
    function test_firstPinPressOnAFreshLoginPage() {
        var component = Qt.createComponent("qrc:/qml/main.qml");
        var fresh = createTemporaryObject(component, testCase);
        verify(fresh);
        waitForRendering(fresh.contentItem);
        verify(!findChild(fresh.contentItem, "Login"));
        fresh.currentScreen = "Login";
        var digit = findChild(fresh.contentItem, "calc_7");
        verify(digit);
        waitForRendering(fresh.contentItem);
        mouseClick(digit);
        compare(findChild(fresh.contentItem, "Login").input, "7");
    }

    function test_singleAnimationsHandOverWithoutTheManager() {
        manager.screen = "ScanCard";
        // Each button is pressed once its screen is the one shown.
        var ticketButton = findChild(window.contentItem, "scanTicketButton");
        tryVerify(function() { return ticketButton.visible && visibleScreens().indexOf("ScanCard") >= 0; });
        waitForRendering(window.contentItem);
        mouseClick(ticketButton);
        tryCompare(window, "currentScreen", "ScanBarcode");
        compare(manager.screen, "ScanCard");
        var cardButton = findChild(window.contentItem, "scanCardButton");
        tryVerify(function() { return cardButton.visible; });
        waitForRendering(window.contentItem);
        mouseClick(cardButton);
        tryCompare(window, "currentScreen", "ScanCard");
        // The next word from the manager takes over again.
        manager.screen = "Valid";
        compare(visibleScreens(), ["Valid"]);
    }

    function test_errorOpensThePopup() {
        var popup = findChild(window.contentItem, "errorPopup");
        verify(popup);
        manager.errorOccured("Broker unreachable");
        tryCompare(popup, "opened", true);
        compare(popup.text, "Broker unreachable");
        manager.errorOccured("Second error");
        compare(popup.text, "Second error");
        popup.close();
        // A modal popup takes every press until it has gone.
        tryCompare(popup, "visible", false);
    }

    function test_windowLocaleFollowsLanguage() {
        manager.language = "el_GR";
        compare(window.locale.name, "el_GR");
        manager.language = "en_IE";
        compare(window.locale.name, "en_IE");
    }

    function test_hiddenGestureAsksForMaintenance() {
        var before = manager.maintenanceRequests;
        findChild(window.contentItem, "header").magicButtonPressed();
        compare(manager.maintenanceRequests, before + 1);
    }
}
