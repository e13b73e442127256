import QtQuick 2.15
import "../controls"
import "../style"

// The reader lost the card before it finished: the passenger presents it again.
Item {
    id: root
    objectName: "Retry"

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            accessibleName: manager.dynTr + qsTr("Try again")
            width: parent.width
            icon: Style.icons + "retry.svg"
            iconSize: Qt.size(250, 250)
            iconColor: Style.warning
        }
        TextBox {
            objectName: "label"
            accessibleRole: Accessible.AlertMessage
            width: parent.width
            height: 200
            textSize: 24
            leftMargin: 40
            rightMargin: 40
            text: manager.dynTr + qsTr("PLEASE TRY AGAIN")
        }
        ResultSeparator {}
        Item {
            width: parent.width
            height: 100
        }
    }
}
