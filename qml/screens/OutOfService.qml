import QtQuick 2.15
import "../controls"
import "../style"

// The vehicle has no route assigned: nothing to validate against.
Item {
    id: root
    objectName: "OutOfService"

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            accessibleName: manager.dynTr + qsTr("Warning")
            width: parent.width
            icon: Style.icons + "warning.svg"
            iconSize: Qt.size(300, 300)
            iconColor: Style.warning
        }
        TextBox {
            objectName: "label"
            accessibleRole: Accessible.AlertMessage
            width: parent.width
            height: 100
            textSize: 20
            leftMargin: 35
            rightMargin: 35
            text: manager.dynTr + qsTr("OUT OF SERVICE")
        }
        Item {
            width: parent.width
            height: 100
        }
    }
}
