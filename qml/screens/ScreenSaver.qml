import QtQuick 2.15

// Shown while the ignition is off, until the display goes dark or the system shuts down.
Rectangle {
    id: root
    objectName: "ScreenSaver"
    color: manager.screenSaverBg

    Image {
        objectName: "screenSaverImage"
        anchors.centerIn: parent
        width: 300
        height: 300
        // Decoded off the GUI thread, never larger than shown.
        asynchronous: true
        sourceSize: Qt.size(300, 300)
        fillMode: Image.PreserveAspectFit
        source: manager.screenSaverImg
        Accessible.role: Accessible.Graphic
        Accessible.name: "Logo"
    }
}
