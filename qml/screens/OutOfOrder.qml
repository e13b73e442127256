import QtQuick 2.15
import "../controls"
import "../style"

// Validation is impossible; the message carries the reason code for the technician.
Item {
    id: root
    objectName: "OutOfOrder"

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            accessibleName: manager.dynTr + qsTr("Fault")
            width: parent.width
            icon: Style.icons + "warning.svg"
            iconSize: Qt.size(300, 300)
            iconColor: Style.error
        }
        TextBox {
            objectName: "label"
            accessibleRole: Accessible.AlertMessage
            width: parent.width
            height: 100
            textSize: 20
            text: manager.dynTr + qsTr("OUT OF ORDER")
        }
        TextBox {
            objectName: "message"
            width: parent.width
            height: 100
            textSize: 14
            text: manager.message
        }
    }
}
