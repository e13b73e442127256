import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15
import "../../controls"

// Language, formats, time zone and NTP of the device.
Flickable {
    id: root
    objectName: "regionPage"

    readonly property var locales: ["en_US", "en_IE", "el_GR"]
    readonly property var clock: manager.clock
    readonly property real rowHeight: Math.max(48, height * 0.08)
    // The default locale follows the language; reading manager.language ties it to changes.
    readonly property var defaultLocale: {
        manager.language
        return Qt.locale()
    }
    readonly property var windowLocale: Window.window && Window.window.locale ? Window.window.locale
                                                                               : defaultLocale
    property date now: new Date()

    Component.onCompleted: clock.refresh()

    Timer {
        interval: 1000
        running: root.visible
        repeat: true
        onTriggered: root.now = new Date()
    }

    contentHeight: content.implicitHeight + 40
    clip: true

    ColumnLayout {
        id: content
        x: 20
        y: 20
        width: root.width - 40
        spacing: 12

        GridLayout {
            id: grid
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 12
            rowSpacing: 4

            Label { text: "Locale"; Layout.preferredWidth: (root.width - 40) / 3 }
            ComboBox {
                objectName: "localeCombo"
                Accessible.name: "Locale"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                model: root.locales
                currentIndex: root.locales.indexOf(manager.language)
                onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
                onActivated: manager.language = currentText
            }

            Label { text: "Language"; Layout.preferredWidth: (root.width - 40) / 3 }
            RowLayout {
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                spacing: 10
                Label {
                    objectName: "languageName"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    font.bold: true
                    text: root.defaultLocale.nativeLanguageName
                    textFormat: Text.PlainText
                }
                RoundButton {
                    objectName: "languageFlag"
                    radius: 10
                    iconSize: 30
                    pngImage: true
                    dropShadow: false
                    icon: root.defaultLocale.name === "el_GR" ? "qrc:/qml/images/Flags/gr.png"
                                                               : "qrc:/qml/images/Flags/uk.png"
                }
            }

            Label { text: "Currency Format"; Layout.preferredWidth: (root.width - 40) / 3 }
            Label {
                objectName: "currencyText"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                verticalAlignment: Text.AlignVCenter
                horizontalAlignment: Text.AlignRight
                font.bold: true
                text: Number(0.99).toLocaleCurrencyString(root.windowLocale)
                textFormat: Text.PlainText
            }

            Label { text: "Time Format"; Layout.preferredWidth: (root.width - 40) / 3 }
            Label {
                objectName: "timeText"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                verticalAlignment: Text.AlignVCenter
                horizontalAlignment: Text.AlignRight
                font.bold: true
                text: root.now.toLocaleString(root.defaultLocale, "d MMM yy, hh:mm:ss t")
                textFormat: Text.PlainText
            }

            Label { text: "Timezone"; Layout.preferredWidth: (root.width - 40) / 3 }
            ComboBox {
                objectName: "timezoneCombo"
                Accessible.name: "Timezone"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                model: root.clock.timezones
                currentIndex: root.clock.timezones.indexOf(root.clock.timezone)
                onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
                onActivated: root.clock.timezone = currentText
            }

            Label { text: "NTP server"; Layout.preferredWidth: (root.width - 40) / 3 }
            TextField {
                objectName: "ntpServerField"
                Accessible.name: "NTP server"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                text: root.clock.ntpServer
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoPredictiveText
                onEditingFinished: root.clock.ntpServer = text
            }

            Label { text: "NTP Active"; Layout.preferredWidth: (root.width - 40) / 3 }
            SettingSwitch {
                objectName: "ntpActiveSwitch"
                Accessible.name: "NTP Active"
                Layout.preferredHeight: root.rowHeight
                checked: root.clock.ntpEnabled
                onToggled: root.clock.ntpEnabled = checked
            }

            Label { text: "NTP Synced"; Layout.preferredWidth: (root.width - 40) / 3 }
            RowLayout {
                Layout.preferredHeight: root.rowHeight
                spacing: 10
                Rectangle {
                    objectName: "ntpSyncedLamp"
                    width: 20
                    height: 20
                    radius: 10
                    color: root.clock.ntpSynced ? Material.color(Material.Green) : "#424242"
                    border.color: "#9e9e9e"
                }
                Label {
                    objectName: "ntpSyncedText"
                    text: root.clock.ntpSynced ? "Synced" : "Not synced"
                    textFormat: Text.PlainText
                }
            }
        }

        PageButton {
            objectName: "ntpSyncButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: (root.width - 40) * 0.8
            Layout.preferredHeight: 60
            highlighted: true
            text: "NTP SYNC"
            onClicked: root.clock.ntpSync()
        }
    }
}
