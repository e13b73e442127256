import QtQuick 2.15
import "../style"

// The on-screen keyboard as screens place it: it hosts the panel of whichever keyboard the
// program selected at start, slides up from below its resting place while the input method is
// visible, and reports the keyboard's Enter key. The keyboards are plug-ins that may be missing;
// their panels are loaded at run time, so a missing one leaves an empty panel, never a broken
// window.
Item {
    id: root

    // Emitted when the keyboard's Enter key is pressed.
    signal enterPressed()

    // "auto": the vendor's keyboard when its QML module is installed (the program selects its
    // plug-in whenever it is), else Qt's. "freevirtualkeyboard" or "qtvirtualkeyboard" force one.
    property string inputMethod: "auto"
    // Whether the keyboard is up; follows the input method unless a test drives it.
    property bool shown: Qt.inputMethod.visible
    // The language of the letter layout ("el_GR" or anything else for English).
    property string language: ""
    readonly property string hosted: panel ? panelKind : ""
    property Item panel: null
    property string panelKind: ""
    // Where the panel rests while the keyboard is up; the host anchors the item at the bottom.
    readonly property real restingY: shown ? 0 : height

    height: 250
    clip: true
    visible: shown

    property real panelY: height
    // Slides up; going down it is gone at once, so no key lingers over the next screen. (An
    // animation toggled by `shown` itself would depend on which binding Qt updates first.)
    onShownChanged: {
        if (shown) {
            slideUp.restart();
        } else {
            slideUp.stop();
            panelY = height;
        }
    }
    NumberAnimation {
        id: slideUp
        target: root
        property: "panelY"
        from: root.height
        to: 0
        duration: 150
        easing.type: Easing.InOutQuad
    }

    Component.onCompleted: load()
    onInputMethodChanged: load()

    function load() {
        if (panel) {
            panel.destroy();
            panel = null;
            panelKind = "";
        }
        if (inputMethod === "auto" || inputMethod === "freevirtualkeyboard") {
            // The vendor's module is not a distribution package, so its panel is built from
            // text here: a missing module is an exception, not a load error of this file.
            try {
                panel = Qt.createQmlObject("import QtQuick 2.15\nimport QtQuick.FreeVirtualKeyboard 1.0\n"
                                           + "InputPanel { }", host, "FreeKeyboardPanel");
                panelKind = "freevirtualkeyboard";
            } catch (error) {
                panel = null;
            }
        }
        if (!panel && (inputMethod === "auto" || inputMethod === "qtvirtualkeyboard")) {
            var component = Qt.createComponent("QtKeyboardPanel.qml");
            if (component.status === Component.Ready) {
                panel = component.createObject(host, { language: Qt.binding(function() { return root.language; }) });
                if (panel) {
                    panelKind = "qtvirtualkeyboard";
                    panel.enterPressed.connect(root.enterPressed);
                }
            } else {
                console.log("[QML] No on-screen keyboard panel: " + component.errorString());
            }
        }
        if (panel) {
            panel.width = Qt.binding(function() { return host.width; });
            // Qt's panel moves itself to the top of the window, above everything, when the
            // focus goes into a popup or a menu; there it would cover the menu and take its
            // taps. It shows only while this panel does.
            panel.visible = Qt.binding(function() { return root.shown; });
        }
    }

    Item {
        id: host
        width: parent.width
        height: parent.height
        y: root.panelY
    }
}
