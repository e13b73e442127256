import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

// Brightness, cursor, theme and display-off delay. The board reports brightness and ambient
// light only while asked to, so the page asks for it for as long as it exists.
Flickable {
    id: root
    objectName: "displayPage"

    readonly property var modes: ["auto", "manual"]

    Component.onCompleted: board.monitor(1000)
    Component.onDestruction: board.monitor(0)

    // The theme belongs to the window; the page only switches it (it is not stored).
    function setDarkTheme(dark) {
        console.info(dark ? "[QML] Switching to dark theme" : "[QML] Switching to light theme")
        const target = Window.window ? Window.window : root
        target.Material.theme = dark ? Material.Dark : Material.Light
    }

    contentHeight: content.implicitHeight + 40
    clip: true

    GridLayout {
        id: content
        x: 20
        y: 20
        width: root.width - 40
        columns: 2
        columnSpacing: 12
        rowSpacing: 12

        Label { text: "Brightness Mode"; Layout.fillWidth: true }
        ComboBox {
            id: modeCombo
            objectName: "brightnessModeCombo"
            Accessible.name: "Brightness Mode"
            Layout.preferredWidth: (root.width - 40) / 2
            model: root.modes
            currentIndex: board.displayBrightnessMode === "auto" ? 0 : 1
            onCurrentTextChanged: board.setDisplayBrightnessMode(currentText)
        }

        Label { text: "Display Brightness"; Layout.fillWidth: true }
        Label {
            objectName: "brightnessText"
            Layout.alignment: Qt.AlignRight
            font.bold: true
            text: Math.round(brightnessSlider.value) + "%"
            textFormat: Text.PlainText
        }
        Slider {
            id: brightnessSlider
            objectName: "brightnessSlider"
            Accessible.name: "Display Brightness"
            Layout.columnSpan: 2
            Layout.fillWidth: true
            Layout.preferredHeight: 56
            from: 0
            to: 100
            stepSize: 1
            enabled: modeCombo.currentText === "manual"
            value: board.displayBrightness
            ToolTip.visible: pressed
            ToolTip.text: Math.round(value) + "%"
            onPressedChanged: if (!pressed) board.setDisplayBrightness(Math.round(value))
        }

        Label { text: "Ambient Light Sensor"; Layout.fillWidth: true }
        Label {
            objectName: "ambientText"
            Layout.alignment: Qt.AlignRight
            font.bold: true
            text: board.ambientLightSensor
            textFormat: Text.PlainText
        }

        Label { text: "Show Cursor"; Layout.fillWidth: true }
        SettingSwitch {
            objectName: "cursorSwitch"
            Accessible.name: "Show Cursor"
            Layout.alignment: Qt.AlignRight
            checked: manager.showCursor
            onToggled: manager.showCursor = checked
        }

        Label { text: "Dark Theme"; Layout.fillWidth: true }
        SettingSwitch {
            objectName: "darkThemeSwitch"
            Accessible.name: "Dark Theme"
            Layout.alignment: Qt.AlignRight
            checked: root.Material.theme === Material.Dark
            onToggled: root.setDarkTheme(checked)
        }

        HintLabel {
            objectName: "displayOffLabel"
            text: "Display OFF (min)"
            Layout.fillWidth: true
            hint: "The interval, in minutes, after which \nthe display will turn off , if in Out-\nof-Order or Out-of-Service state."
        }
        SpinBox {
            objectName: "displayOffBox"
            Accessible.name: "Display OFF (min)"
            Layout.preferredWidth: (root.width - 40) / 2
            editable: true
            from: 0
            to: 86400
            stepSize: 1
            value: manager.displayOffMin
            onValueModified: manager.displayOffMin = value
        }
    }
}
