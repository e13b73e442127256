import QtQuick 2.15
import "../style"

// The bar between a result and its figures.
Item {
    width: parent ? parent.width : Style.screenWidth
    height: 10

    Rectangle {
        anchors.centerIn: parent
        width: parent.width - 70
        height: 4
        radius: 4
        color: "white"
    }
}
