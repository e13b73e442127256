import QtQuick 2.15
import QtQuick.VirtualKeyboard 2.15
import QtQuick.VirtualKeyboard.Settings 2.15

// Qt's keyboard as KeyboardPanel hosts it: English and Greek letter layouts only, switched by
// `language`, and the Enter key reported.
InputPanel {
    id: root

    signal enterPressed()

    property string language: ""
    // How tall the keys are drawn all together. Qt's keyboard keeps the proportions of its
    // style's design (2560 x 800, 150 px at our width); the design is stretched to fill it.
    property real fillHeight: 250

    function fitStyle() {
        var style = keyboard ? keyboard.style : null
        if (style && width > 0 && fillHeight > 0)
            style.keyboardDesignHeight = style.keyboardDesignWidth * fillHeight / width
    }

    onWidthChanged: fitStyle()
    onFillHeightChanged: fitStyle()
    Connections {
        target: root.keyboard
        function onStyleChanged() { root.fitStyle() }
    }

    function applyLocale() {
        VirtualKeyboardSettings.locale = root.language === "el_GR" ? "el_GR" : "en_GB";
    }

    Component.onCompleted: {
        VirtualKeyboardSettings.activeLocales = ["en_GB", "el_GR"];
        applyLocale();
        fitStyle();
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
