import QtQuick 2.15
import QtQuick.VirtualKeyboard 2.15
import QtQuick.VirtualKeyboard.Settings 2.15

// Qt's keyboard as KeyboardPanel hosts it: English and Greek letter layouts only, switched by
// `language`, and the Enter key reported.
InputPanel {
    id: root

    signal enterPressed()

    property string language: ""

    function applyLocale() {
        VirtualKeyboardSettings.locale = root.language === "el_GR" ? "el_GR" : "en_GB";
    }

    Component.onCompleted: {
        VirtualKeyboardSettings.activeLocales = ["en_GB", "el_GR"];
        applyLocale();
    }
    onLanguageChanged: applyLocale()

    Connections {
        target: InputContext.inputEngine
        function onVirtualKeyClicked(key, text, modifiers, isAutoRepeat) {
            if (key === Qt.Key_Return || key === Qt.Key_Enter)
                root.enterPressed();
        }
    }
}
