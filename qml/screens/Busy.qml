import QtQuick 2.15
import "../controls"
import "../style"

// Shown while the program starts, reboots or waits for the validation service.
Item {
    id: root
    objectName: "Busy"

    // Turns in steps a few times a second: the screen may stay up for minutes, and a spinner
    // redrawn on every frame would keep a processor without a GPU busy all that time.
    BusySpinner {
        id: indicator
        objectName: "busyIndicator"
        readonly property real side: Math.min(root.width, root.height) / 5
        width: side
        height: side
        y: 200
        anchors.horizontalCenter: parent.horizontalCenter
        color: Style.accent
        running: root.visible
        Accessible.name: messageText.text.length > 0 ? messageText.text : "Busy"
    }

    Text {
        id: messageText
        objectName: "busyMessage"
        anchors.top: indicator.bottom
        anchors.topMargin: 30
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        font.pointSize: 22
        color: Style.onPicture
        text: manager.message
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
