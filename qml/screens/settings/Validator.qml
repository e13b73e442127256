import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// What the validation service and its readers report about themselves.
Item {
    id: root
    objectName: "validatorPage"

    readonly property var rfid: validatorManager.rfid
    readonly property var sam: rfid ? rfid.sam : null
    readonly property var barcode: validatorManager.barcode

    function tr(text) {
        return manager.dynTr + qsTranslate("Validator", text)
    }

    Flickable {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: configure.top
        anchors.bottomMargin: 8
        contentHeight: column.implicitHeight + 40
        clip: true
        ScrollIndicator.vertical: ScrollIndicator {}

        ColumnLayout {
            id: column
            width: root.width
            y: 20
            spacing: 12

            InfoGroup {
                title: root.tr("Validator")
                InfoRow { labelShare: 0.45; objectName: "rowSerial"; label: root.tr("Serial Number"); value: manager.deviceId }
                InfoRow { labelShare: 0.45; objectName: "rowPole"; label: root.tr("Pole ID"); value: board.poleId }
                InfoRow { labelShare: 0.45; label: root.tr("Vehicle"); value: validatorManager.vehicle }
                InfoRow { labelShare: 0.45; label: root.tr("Version"); value: validatorManager.version }
                InfoRow { labelShare: 0.45; objectName: "rowStatus"; label: root.tr("Status"); value: validatorManager.status; rule: "validator" }
                InfoRow { labelShare: 0.45; objectName: "rowReason"; label: root.tr("Reason"); value: validatorManager.reason; rule: "validator"
                          colourSource: validatorManager.status }
            }

            InfoGroup {
                title: root.tr("RFID")
                InfoRow { labelShare: 0.45; label: root.tr("Firmware"); value: root.rfid ? root.rfid.firmware : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Model"); value: root.rfid ? root.rfid.model + " " + root.rfid.manufacturer : "" }
                InfoRow { labelShare: 0.45; label: root.tr("UID"); value: root.rfid ? root.rfid.deviceUid : "" }
                InfoRow { labelShare: 0.45; label: root.tr("State"); value: root.rfid ? root.rfid.state : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Error"); value: root.rfid ? root.rfid.error : "" }
            }

            InfoGroup {
                title: root.tr("Barcode")
                InfoRow { labelShare: 0.45; label: root.tr("Firmware"); value: root.barcode ? root.barcode.firmware : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Model"); value: root.barcode ? root.barcode.model + " " + root.barcode.manufacturer : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Active"); value: root.barcode ? String(root.barcode.active) : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Enabled"); value: root.barcode ? String(root.barcode.enabled) : "" }
            }

            InfoGroup {
                title: root.tr("SAM")
                InfoRow { labelShare: 0.45; label: root.tr("Slot"); value: root.sam ? String(root.sam.slot) : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Name"); value: root.sam ? root.sam.name : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Version"); value: root.sam ? root.sam.version : "" }
                InfoRow { labelShare: 0.45; label: root.tr("UID"); value: root.sam ? root.sam.uid : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Mode"); value: root.sam ? root.sam.mode : "" }
                InfoRow { labelShare: 0.45; label: root.tr("Unlocked"); value: root.sam ? String(root.sam.unlocked) : "" }
                InfoRow {
                    labelShare: 0.45
                    objectName: "rowProduction"
                    label: root.tr("Production")
                    value: root.sam ? Qt.formatDate(root.sam.production, "yyyy-MM-dd") : ""
                }
            }
        }
    }

    // Always in reach, below the information that scrolls.
    PageButton {
        id: configure
        objectName: "validatorConfigure"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        width: root.width * 0.8
        height: 60
        highlighted: true
        text: root.tr("Configure")
        onClicked: root.StackView.view.push(Qt.resolvedUrl("ValidatorConfig.qml"))
    }
}
