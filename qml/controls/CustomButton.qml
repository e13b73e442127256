import QtQuick 2.15
import com.orvo.controls 1.0
import "../style"

// A flat button with an optional icon, a ripple from the press point and an optional shadow.
// Used by the scan screens, the number pad, the popup and the login page. A disabled button
// says so to assistive tools.
AccessibleControl {
    id: root

    signal clicked()
    signal pressed()
    signal released()

    property string text: ""
    property string icon: ""
    property color iconColor: "transparent"
    // Unset (-1 × -1): the icon is decoded at its own size.
    property size iconSize: Qt.size(-1, -1)
    property color color: "#f3f3f3"
    property color borderColor: "transparent"
    property int borderWidth: 0
    property real radius: 0
    property color textColor: "black"

    property alias textStyle: label.style
    property alias textStyleColor: label.styleColor
    property alias textLineHeight: label.lineHeight
    property alias textFormat: label.textFormat
    property alias textWrapMode: label.wrapMode
    property alias textOpacity: label.opacity
    property alias textVAlign: label.verticalAlignment
    property alias textHAlign: label.horizontalAlignment
    property alias textPointSize: label.font.pointSize
    property alias textPixelSize: label.font.pixelSize
    property alias textBold: label.font.bold
    property alias textItalic: label.font.italic
    property alias textWordSpacing: label.font.wordSpacing
    property alias textFamily: label.font.family
    property alias textWeight: label.font.weight
    property alias textLetterSpacing: label.font.letterSpacing

    property bool flat: true
    property bool scaleAnimationEnabled: false
    property real scaleAnimation: 0.9
    property bool fillAnimationEnabled: true
    property color fillColor: color
    property int fillAnimationDuration: 300
    readonly property bool isPressed: mouseArea.down
    // Named by its text; an icon-only button is named by its icon unless given a name.
    property string accessibleName: text !== "" ? text.replace(/\n/g, " ") : Style.baseName(icon)

    implicitWidth: 100
    implicitHeight: 60

    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: root.clicked()

    Loader {
        anchors.fill: body
        z: -1
        active: !root.flat && !root.isPressed && root.GraphicsInfo.api !== GraphicsInfo.Software
        source: "Shadow.qml"
        onLoaded: item.target = background
    }

    Item {
        id: body
        anchors.fill: parent
        scale: root.isPressed && root.scaleAnimationEnabled ? root.scaleAnimation : 1.0

        Rectangle {
            id: background
            anchors.fill: parent
            color: root.color
            radius: root.radius
            border.color: root.borderColor
            border.width: root.borderWidth
        }

        Item {
            id: rippleArea
            anchors.fill: parent
            anchors.margins: root.borderWidth
            clip: true

            Rectangle {
                id: ripple
                objectName: "ripple"
                property real centerX: 0
                property real centerY: 0
                visible: false
                x: centerX - width / 2
                y: centerY - height / 2
                height: width
                radius: width / 2
                color: Qt.darker(root.fillColor, 1.5)
            }
        }

        Item {
            id: iconCell
            visible: root.icon !== ""
            width: visible ? parent.width * 0.35 : 0
            height: parent.height

            Image {
                objectName: "icon"
                anchors.centerIn: parent
                anchors.horizontalCenterOffset: 10
                sourceSize: root.iconSize.width > 0 ? root.iconSize : undefined
                source: Style.symbol(root.icon, root.iconColor)
                fillMode: Image.PreserveAspectFit
            }
        }

        Text {
            id: label
            objectName: "label"
            anchors.left: iconCell.right
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.leftMargin: root.borderWidth
            anchors.rightMargin: root.borderWidth
            text: root.text
            textFormat: Text.PlainText
            color: root.textColor
            font.family: Style.fontFamily
            font.pointSize: 12
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    NumberAnimation {
        id: rippleAnimation
        target: ripple
        property: "width"
        from: 0
        to: 3 * Math.max(root.width, root.height)
        duration: root.fillAnimationDuration
        onFinished: ripple.visible = false
    }

    MouseArea {
        id: mouseArea
        // Set before pressed() goes out, so a handler sees the button pressed.
        property bool down: false

        anchors.fill: parent
        onPressed: {
            down = true;
            if (root.fillAnimationEnabled) {
                ripple.centerX = mouse.x - root.borderWidth;
                ripple.centerY = mouse.y - root.borderWidth;
                ripple.visible = true;
                rippleAnimation.restart();
            }
            root.pressed();
        }
        onReleased: {
            down = false;
            root.released();
        }
        onCanceled: down = false
        onClicked: root.clicked()
    }
}
