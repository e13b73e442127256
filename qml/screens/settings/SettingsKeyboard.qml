import QtQuick 2.15

// The on-screen keyboard of the maintenance pages: below the bottom edge until the input
// method is shown, then slid up over the page area. The frame shortens its page stack by
// `visibleHeight` so the focused field stays above the keys.
Item {
    id: root

    readonly property bool shown: Qt.inputMethod.visible
    readonly property real visibleHeight: shown ? panel.height : 0

    anchors.left: parent.left
    anchors.right: parent.right
    anchors.bottom: parent.bottom
    height: panel.height
    clip: true

    // The input method draws its keys into this panel.
    Rectangle {
        id: panel
        objectName: "keyboardPanel"
        color: "#333"
        width: parent.width
        height: 250
        y: root.shown ? 0 : height

        Behavior on y {
            NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
        }
    }
}
