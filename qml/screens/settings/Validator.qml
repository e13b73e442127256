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

    Flickable {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: configure.top
        anchors.bottomMargin: 8
        contentHeight: column.implicitHeight + 40
        clip: true
        // Shown for as long as there is more to see: a cut row alone does not say "scroll".
        ScrollBar.vertical: ScrollBar { policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }

        ColumnLayout {
            id: column
            width: root.width
            y: 20
            spacing: 12

            InfoGroup {
                title: manager.dynTr + qsTr("Validator")
                InfoRow { labelShare: 0.45; objectName: "rowSerial"; label: manager.dynTr + qsTr("Serial Number"); value: manager.deviceId }
                InfoRow { labelShare: 0.45; objectName: "rowPole"; label: manager.dynTr + qsTr("Pole ID"); value: board.poleId }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Vehicle"); value: validatorManager.vehicle }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Version"); value: validatorManager.version }
                InfoRow { labelShare: 0.45; objectName: "rowStatus"; label: manager.dynTr + qsTr("Status"); value: validatorManager.status; rule: "validator"
                          colourSource: validatorManager.status }
                InfoRow { labelShare: 0.45; objectName: "rowReason"; label: manager.dynTr + qsTr("Reason"); value: validatorManager.reason; rule: "validator"
                          colourSource: validatorManager.status }
            }

            InfoGroup {
                title: manager.dynTr + qsTr("RFID")
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Firmware"); value: root.rfid ? root.rfid.firmware : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Model"); value: root.rfid ? root.rfid.model + " " + root.rfid.manufacturer : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("UID"); value: root.rfid ? root.rfid.deviceUid : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("State"); value: root.rfid ? root.rfid.state : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Error"); value: root.rfid ? root.rfid.error : "" }
            }

            InfoGroup {
                title: manager.dynTr + qsTr("Barcode")
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Firmware"); value: root.barcode ? root.barcode.firmware : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Model"); value: root.barcode ? root.barcode.model + " " + root.barcode.manufacturer : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Active"); value: root.barcode ? String(root.barcode.active) : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Enabled"); value: root.barcode ? String(root.barcode.enabled) : "" }
            }

            InfoGroup {
                title: manager.dynTr + qsTr("SAM")
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Slot"); value: root.sam ? String(root.sam.slot) : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Name"); value: root.sam ? root.sam.name : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Version"); value: root.sam ? root.sam.version : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("UID"); value: root.sam ? root.sam.uid : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Mode"); value: root.sam ? root.sam.mode : "" }
                InfoRow { labelShare: 0.45; label: manager.dynTr + qsTr("Unlocked"); value: root.sam ? String(root.sam.unlocked) : "" }
                InfoRow {
                    labelShare: 0.45
                    objectName: "rowProduction"
                    label: manager.dynTr + qsTr("Production")
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
        text: manager.dynTr + qsTr("Configure")
        onClicked: root.StackView.view.push(Qt.resolvedUrl("ValidatorConfig.qml"))
    }
}
