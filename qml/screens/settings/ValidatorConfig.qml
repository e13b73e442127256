import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The validation service's stored settings and two of the program's own. The fields follow
// the stored values until edited; Save stays off until something really differs.
Flickable {
    id: root
    objectName: "validatorConfigPage"

    readonly property var config: validatorManager.config
    readonly property bool changed: urlField.text !== String(config.obuUrl)
                                    || passbackBox.value !== config.passbackSecs
                                    || shutdownBox.value !== manager.shutdownDelaySec
                                    || qrSwitch.checked !== config.passbackQrEnabled
                                    || errorSwitch.checked !== manager.showErrorDesc

    function save() {
        config.obuUrl = urlField.text
        config.passbackSecs = passbackBox.value
        config.passbackQrEnabled = qrSwitch.checked
        validatorManager.saveConfig()
        manager.shutdownDelaySec = shutdownBox.value
        manager.showErrorDesc = errorSwitch.checked
        root.StackView.view.pop()
    }

    // The address field holds the on-board computer's password: no screenshot leaves while
    // the page is up (the page comes with its push and goes with its pop).
    Component.onCompleted: manager.setSecretShown(objectName, true)
    Component.onDestruction: manager.setSecretShown(objectName, false)

    contentHeight: content.implicitHeight + 40
    clip: true

    ColumnLayout {
        id: content
        x: 20
        y: 20
        width: root.width - 40
        spacing: 16

        GridLayout {
            id: grid
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 12
            rowSpacing: 12

            Label {
                text: "OBC URL"
                Layout.preferredWidth: (root.width - 40) * 0.3
                wrapMode: Text.WordWrap
            }
            TextField {
                id: urlField
                objectName: "obcUrlField"
                Accessible.name: "OBC URL"
                Layout.fillWidth: true
                text: String(root.config.obuUrl)
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoPredictiveText
                // Shown from its start (the scheme and the host) while nobody edits it; a
                // field scrolls to its cursor, which a new text puts at the end, where a
                // password may sit.
                onTextChanged: if (!activeFocus) cursorPosition = 0
                onActiveFocusChanged: if (!activeFocus) cursorPosition = 0
            }

            Label {
                text: "Passback Time (sec)"
                Layout.preferredWidth: (root.width - 40) * 0.3
                wrapMode: Text.WordWrap
            }
            SpinBox {
                id: passbackBox
                objectName: "passbackBox"
                Accessible.name: "Passback Time (sec)"
                Layout.fillWidth: true
                editable: true
                from: 0
                to: 86400
                stepSize: 1
                value: root.config.passbackSecs
            }

            HintLabel {
                objectName: "shutdownDelayLabel"
                text: "Shutdown Delay (sec)"
                Layout.preferredWidth: (root.width - 40) * 0.3
                wrapMode: Text.WordWrap
                hint: "The delay, in seconds, after which the system\nwill start the shutdown sequence, providing that\nthe ignition has been turned off (max=900 sec)."
            }
            SpinBox {
                id: shutdownBox
                objectName: "shutdownDelayBox"
                Accessible.name: "Shutdown Delay (sec)"
                Layout.fillWidth: true
                editable: true
                from: 5
                to: 900
                stepSize: 5
                value: manager.shutdownDelaySec
            }

            Label {
                text: "QR Passback Enabled"
                Layout.preferredWidth: (root.width - 40) * 0.3
                wrapMode: Text.WordWrap
            }
            SettingSwitch {
                id: qrSwitch
                objectName: "qrPassbackSwitch"
                Accessible.name: "QR Passback Enabled"
                checked: root.config.passbackQrEnabled
            }

            HintLabel {
                objectName: "errorDescLabel"
                text: "Show Error Description"
                Layout.preferredWidth: (root.width - 40) * 0.3
                wrapMode: Text.WordWrap
                hint: "If enabled, a full error description will\nbe displayed in the 'Out-of-Order' screen\ninstead of just an error code."
            }
            SettingSwitch {
                id: errorSwitch
                objectName: "errorDescSwitch"
                Accessible.name: "Show Error Description"
                checked: manager.showErrorDesc
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 20
            PageButton {
                objectName: "validatorConfigBack"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                text: "Back"
                onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
                onClicked: {
                    validatorManager.refreshConfig()
                    root.StackView.view.pop()
                }
            }
            PageButton {
                objectName: "validatorConfigSave"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                highlighted: true
                enabled: root.changed
                text: "Save"
                onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
                onClicked: root.save()
            }
        }
    }
}
