import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/screens"

// The first-run page: only a capital C or K and eight digits can be saved, by SAVE or by the
// keyboard's Enter, and only after the technician confirms.
TestCase {
    id: testCase
    name: "InitPage"
    width: 480
    height: 680
    visible: true
    when: windowShown

    Component {
        id: pageComponent
        InitPage {
            width: testCase.width
            height: testCase.height
        }
    }

    function init() {
        manager.deviceId = "";
        manager.savedDeviceIds = [];
    }

    function createPage(text) {
        var page = createTemporaryObject(pageComponent, testCase);
        verify(page);
        findChild(page, "serialField").text = text;
        return page;
    }

    function test_serialNumberRule_data() {
        return [
            { tag: "K and eight digits", text: "K12345678", valid: true },
            { tag: "C and eight digits", text: "C98765432", valid: true },
            { tag: "lower-case letter", text: "k12345678", valid: false },
            { tag: "two letters, seven digits", text: "CK1234567", valid: false },
            { tag: "seven digits", text: "K1234567", valid: false },
            { tag: "nine digits", text: "K123456789", valid: false },
            { tag: "two letters, eight digits", text: "KK12345678", valid: false },
            { tag: "comma and eight digits", text: ",12345678", valid: false },
            { tag: "another letter", text: "A12345678", valid: false },
            { tag: "trailing space", text: "K12345678 ", valid: false },
            { tag: "empty", text: "", valid: false },
        ];
    }

    function test_serialNumberRule(data) {
        var page = createPage(data.text);
        compare(findChild(page, "saveButton").enabled, data.valid);
        compare(findChild(page, "serialHint").visible, !data.valid);

        // Enter on the keyboard asks for the same confirmation as SAVE, and only for a valid number.
        var field = findChild(page, "serialField");
        field.forceActiveFocus();
        keyClick(Qt.Key_Return);
        compare(findChild(page, "confirmDialog").visible, data.valid);
    }

    function test_savedAfterYesOnly_data() {
        return [
            { tag: "yes saves", button: "popupYesButton", saved: ["C98765432"] },
            { tag: "no only closes", button: "popupNoButton", saved: [] },
        ];
    }

    function test_savedAfterYesOnly(data) {
        var page = createPage("C98765432");
        mouseClick(findChild(page, "saveButton"));
        var dialog = findChild(page, "confirmDialog");
        tryCompare(dialog, "opened", true);
        verify(dialog.text.indexOf("Please confirm the serial number") === 0, dialog.text);
        verify(dialog.text.indexOf("\n\nC98765432") > 0, dialog.text);
        compare(manager.savedDeviceIds, []);

        mouseClick(findChild(dialog.contentItem, data.button));
        tryCompare(dialog, "visible", false);
        compare(manager.savedDeviceIds, data.saved);
    }

    function test_startsWithTheKnownNumber() {
        manager.deviceId = "K00000042";
        var page = createTemporaryObject(pageComponent, testCase);
        compare(findChild(page, "serialField").text, "K00000042");
        verify(findChild(page, "saveButton").enabled);
    }
}
