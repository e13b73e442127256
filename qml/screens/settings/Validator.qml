import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// What the validation service and its readers report about themselves.
Flickable {
    id: root
    objectName: "validatorPage"

    readonly property var rfid: validatorManager.rfid
    readonly property var sam: rfid ? rfid.sam : null
    readonly property var barcode: validatorManager.barcode

    function tr(text) {
        return manager.dynTr + qsTranslate("Validator", text)
    }

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
            InfoRow { objectName: "rowSerial"; label: root.tr("Serial Number"); value: manager.deviceId }
            InfoRow { objectName: "rowPole"; label: root.tr("Pole ID"); value: board.poleId }
            InfoRow { label: root.tr("Vehicle"); value: validatorManager.vehicle }
            InfoRow { label: root.tr("Version"); value: validatorManager.version }
            InfoRow { objectName: "rowStatus"; label: root.tr("Status"); value: validatorManager.status; rule: "validator" }
            InfoRow { objectName: "rowReason"; label: root.tr("Reason"); value: validatorManager.reason; rule: "validator" }
        }

        InfoGroup {
            title: root.tr("RFID")
            InfoRow { label: root.tr("Firmware"); value: root.rfid ? root.rfid.firmware : "" }
            InfoRow { label: root.tr("Model"); value: root.rfid ? root.rfid.model + " " + root.rfid.manufacturer : "" }
            InfoRow { label: root.tr("UID"); value: root.rfid ? root.rfid.deviceUid : "" }
            InfoRow { label: root.tr("State"); value: root.rfid ? root.rfid.state : "" }
            InfoRow { label: root.tr("Error"); value: root.rfid ? root.rfid.error : "" }
        }

        InfoGroup {
            title: root.tr("Barcode")
            InfoRow { label: root.tr("Firmware"); value: root.barcode ? root.barcode.firmware : "" }
            InfoRow { label: root.tr("Model"); value: root.barcode ? root.barcode.model + " " + root.barcode.manufacturer : "" }
            InfoRow { label: root.tr("Active"); value: root.barcode ? String(root.barcode.active) : "" }
            InfoRow { label: root.tr("Enabled"); value: root.barcode ? String(root.barcode.enabled) : "" }
        }

        InfoGroup {
            title: root.tr("SAM")
            InfoRow { label: root.tr("Slot"); value: root.sam ? String(root.sam.slot) : "" }
            InfoRow { label: root.tr("Name"); value: root.sam ? root.sam.name : "" }
            InfoRow { label: root.tr("Version"); value: root.sam ? root.sam.version : "" }
            InfoRow { label: root.tr("UID"); value: root.sam ? root.sam.uid : "" }
            InfoRow { label: root.tr("Mode"); value: root.sam ? root.sam.mode : "" }
            InfoRow { label: root.tr("Unlocked"); value: root.sam ? String(root.sam.unlocked) : "" }
            InfoRow {
                objectName: "rowProduction"
                label: root.tr("Production")
                value: root.sam ? Qt.formatDate(root.sam.production, "yyyy-MM-dd") : ""
            }
        }

        Button {
            objectName: "validatorConfigure"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: root.width * 0.8
            Layout.preferredHeight: 60
            highlighted: true
            text: root.tr("Configure")
            onClicked: root.StackView.view.push(Qt.resolvedUrl("ValidatorConfig.qml"))
        }
    }
}
