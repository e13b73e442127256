import QtQuick 2.15
import "../controls"
import "../style"

// The card or ticket was refused; the reason comes translated with the result.
Item {
    id: root
    objectName: "Invalid"

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            accessibleName: manager.dynTr + qsTr("Refused")
            width: parent.width
            icon: Style.icons + "invalid.svg"
            iconSize: Qt.size(250, 250)
            iconColor: Style.error
        }
        TextBox {
            objectName: "label"
            accessibleRole: Accessible.AlertMessage
            width: parent.width
            height: 100
            textSize: 32
            text: manager.dynTr + qsTr("INVALID")
        }
        Item {
            width: parent.width
            height: 100
        }
        ResultSeparator {}
        TextBox {
            objectName: "denyReason"
            width: parent.width
            height: 100
            textSize: 14
            leftMargin: 35
            rightMargin: 25
            text: transaction.denyReason || ""
        }
    }
}
