import QtQuick 2.15
import "../controls"
import "../style"

// One looping animation with its prompt, and a button that offers the other way to validate.
// ScanCard and ScanBarcode are the two halves of a mirror pair.
Item {
    id: root

    property string framesPath
    property int lastFrame
    property string prompt
    property string buttonIcon
    property string buttonText
    property string buttonName
    property int frame: 0
    readonly property string picture: framesPath + Math.min(frame, lastFrame) + ".png"
    signal buttonClicked()

    // Frames 0 to lastFrame in 2300 ms, over and over. A timer steps them, so the window draws
    // only when the picture changes (an animation would have it draw at the display's rate).
    // Hidden, nothing steps.
    Timer {
        objectName: "frameTimer"
        interval: Math.round(2300 / (root.lastFrame + 1))
        repeat: true
        running: root.visible
        onTriggered: root.frame = root.frame >= root.lastFrame ? 0 : root.frame + 1
    }

    FrameHolder { path: root.framesPath; count: root.lastFrame + 1; current: root.picture }

    Image {
        objectName: "frame"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: 10
        // Shown at its own size: nothing to filter.
        smooth: false
        source: root.picture
        // The prompt beside it says what the picture shows; read once, not twice.
        Accessible.ignored: true
    }

    Text {
        objectName: "prompt"
        y: 150
        anchors.right: parent.right
        anchors.rightMargin: 20
        width: 150
        height: 120
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.WordWrap
        verticalAlignment: Text.AlignVCenter
        font.family: Style.fontFamily
        font.pointSize: 14
        font.bold: true
        color: Style.onPicture
        text: root.prompt
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    CustomButton {
        id: button
        objectName: root.buttonName
        x: -borderWidth
        y: parent.height - height - 20
        width: 270
        height: 120
        icon: root.buttonIcon
        iconSize: Qt.size(50, 50)
        iconColor: "white"
        text: root.buttonText
        color: Style.scanButton
        textColor: "white"
        textHAlign: Text.AlignLeft
        textPointSize: 12
        borderWidth: 10
        borderColor: isPressed ? Style.scanButtonPressed : Style.accent
        onClicked: root.buttonClicked()
    }
}
