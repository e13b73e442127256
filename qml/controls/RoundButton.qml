import QtQuick 2.15
import "../style"

// A round icon button: the header's language flag and the region page's flag. Icon-only, so
// whoever places it gives it an accessible name that says what it is.
Item {
    id: root

    signal clicked()
    signal pressAndHold()

    property string icon: ""
    property real radius: 25
    property int iconSize: 30
    property color iconColor: "#43496a"
    property color buttonColor: Style.accent
    property bool dropShadow: true
    // true: the icon is drawn in its own colours; false: as a silhouette in iconColor.
    property bool pngImage: false
    property string accessibleName: Style.baseName(icon)
    readonly property bool isPressed: mouseArea.pressed

    width: 2 * radius
    height: 2 * radius

    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: root.clicked()

    Loader {
        anchors.fill: body
        z: -1
        active: root.dropShadow && !root.isPressed && root.GraphicsInfo.api !== GraphicsInfo.Software
        source: "Shadow.qml"
        onLoaded: item.target = disc
    }

    Item {
        id: body
        anchors.fill: parent
        scale: root.isPressed ? 0.8 : 1.0

        Rectangle {
            id: disc
            anchors.fill: parent
            radius: root.radius
            color: root.buttonColor
            antialiasing: true
        }

        Image {
            id: image
            objectName: "icon"
            anchors.centerIn: parent
            width: root.iconSize
            height: root.iconSize
            sourceSize: Qt.size(root.iconSize, root.iconSize)
            fillMode: Image.PreserveAspectFit
            smooth: true
            source: root.pngImage ? root.icon : Style.symbol(root.icon, root.iconColor)
        }
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        onClicked: root.clicked()
        onPressAndHold: root.pressAndHold()
    }
}
