import QtQuick 2.15
import QtQuick.Window 2.15

// The window for now: it shows the screen the controller has chosen, its message and the
// version, enough to run and watch the controller. The passenger screens replace it.
Window {
    id: root
    width: 480
    height: 800
    visible: true
    color: "black"
    title: Qt.application.displayName

    Column {
        anchors.centerIn: parent
        spacing: 24

        Text {
            objectName: "screenText"
            anchors.horizontalCenter: parent.horizontalCenter
            color: "white"
            font.pixelSize: 40
            text: manager.screen
        }

        Text {
            objectName: "messageText"
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            color: "white"
            font.pixelSize: 24
            text: manager.message
        }
    }

    Text {
        objectName: "versionText"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 8
        color: "gray"
        font.pixelSize: 14
        text: Qt.application.version
    }
}
