import QtQuick 2.15
import "../controls"

// Validation is impossible; the message carries the reason code for the technician.
Item {
    id: root
    objectName: "OutOfOrder"

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            width: parent.width
            icon: "qrc:/qml/images/Icons/warning.svg"
            iconSize: Qt.size(300, 300)
            iconColor: "#db4a37"
        }
        TextBox {
            objectName: "label"
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
