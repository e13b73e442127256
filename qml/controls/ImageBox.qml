import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../style"

// A symbol as wide as its layout row and as tall as the picture, drawn as a silhouette in
// iconColor ("transparent" keeps the picture's own colours).
Rectangle {
    id: root

    property string icon: ""
    property size iconSize: Qt.size(250, 250)
    property color iconColor: "#41b987"
    // What the symbol means, in the screen's language; the screen that shows it names it.
    property string accessibleName: ""

    Layout.fillWidth: true
    implicitWidth: iconSize.width
    implicitHeight: iconSize.height
    color: "transparent"

    Accessible.role: Accessible.Graphic
    Accessible.name: accessibleName

    Image {
        objectName: "image"
        anchors.centerIn: parent
        width: root.iconSize.width
        height: root.iconSize.height
        asynchronous: true
        sourceSize: root.iconSize
        source: Style.symbol(root.icon, root.iconColor)
    }
}
