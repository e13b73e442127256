import QtQuick 2.15
import QtTest 1.15
import QtQuick.VirtualKeyboard 2.15
import "qrc:/qml/controls"

// The keyboard panel hosts whichever keyboard is installed and never breaks when one is not;
// it slides in from below while the keyboard is shown.
TestCase {
    id: testCase
    name: "KeyboardPanel"
    width: 480
    height: 800
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: panelComponent
        KeyboardPanel {
            width: 480
            anchors.bottom: parent.bottom
            shown: false
        }
    }

    function test_hosts_data() {
        return [
            // scripts/setup installs Qt's keyboard; the vendor's is not a distribution package.
            { tag: "auto falls back to Qt's keyboard", inputMethod: "auto", hosted: "qtvirtualkeyboard" },
            { tag: "Qt's keyboard", inputMethod: "qtvirtualkeyboard", hosted: "qtvirtualkeyboard" },
            { tag: "missing vendor keyboard leaves the panel empty", inputMethod: "freevirtualkeyboard", hosted: "" },
            { tag: "unknown keyboard", inputMethod: "none", hosted: "" },
        ];
    }

    function test_hosts(data) {
        var panel = createTemporaryObject(panelComponent, testCase, { inputMethod: data.inputMethod });
        verify(panel);
        compare(panel.hosted, data.hosted);
        compare(panel.panel !== null, data.hosted !== "");
        compare(panel.height, 250);
    }

    function test_switchingKeyboardsReplacesThePanel() {
        var panel = createTemporaryObject(panelComponent, testCase, { inputMethod: "qtvirtualkeyboard" });
        var first = panel.panel;
        verify(first);
        panel.inputMethod = "none";
        compare(panel.panel, null);
        panel.inputMethod = "auto";
        verify(panel.panel);
        compare(panel.hosted, "qtvirtualkeyboard");
    }

    function test_slidesWithTheKeyboard() {
        var panel = createTemporaryObject(panelComponent, testCase, { inputMethod: "qtvirtualkeyboard" });
        compare(panel.panelY, panel.height);
        verify(!panel.visible, "nothing shows while the keyboard is down");
        panel.shown = true;
        verify(panel.visible);
        tryCompare(panel, "panelY", 0);
        panel.shown = false;
        // Gone at once: keys on their way down would show over the next screen.
        compare(panel.panelY, panel.height);
        verify(!panel.visible);
        verify(!panel.panel.visible);
        panel.shown = true;
        tryCompare(panel, "panelY", 0);
    }

    function test_greekLayoutFollowsTheLanguage() {
        var panel = createTemporaryObject(panelComponent, testCase, { inputMethod: "qtvirtualkeyboard", language: "el_GR" });
        verify(panel.panel);
        compare(panel.panel.language, "el_GR");
        panel.language = "en_IE";
        compare(panel.panel.language, "en_IE");
    }

    Component {
        id: fieldComponent
        TextInput { width: 200; height: 40 }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    // Qt's keyboard reports its Enter key through the panel, and only that key.
    function test_enterKey_data() {
        return [
            { tag: "Enter", key: Qt.Key_Return, text: "\n", count: 1 },
            { tag: "a letter", key: Qt.Key_K, text: "K", count: 0 },
        ];
    }

    function test_enterKey(data) {
        var panel = createTemporaryObject(panelComponent, testCase, { inputMethod: "qtvirtualkeyboard", shown: true });
        var field = createTemporaryObject(fieldComponent, testCase);
        field.forceActiveFocus();
        // The keyboard takes its layout and input method once it serves the focused field.
        tryVerify(function() { return InputContext.inputEngine.inputMethod !== null; }, 5000, "keyboard ready");
        var enter = createTemporaryObject(spyComponent, testCase, { target: panel, signalName: "enterPressed" });
        verify(InputContext.inputEngine.virtualKeyClick(data.key, data.text, Qt.NoModifier));
        compare(enter.count, data.count);
    }
}
