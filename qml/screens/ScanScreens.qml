import QtQuick 2.15
import "../controls"
import "../style"

// The usual idle screen: the card animation and the ticket animation take turns, either after
// each pass (manager.animSwitchSec 0) or every animSwitchSec seconds.
Item {
    id: root
    objectName: "ScanScreens"

    property int mode: 0        // 0: card, 1: ticket
    property int frame: 0
    readonly property int lastFrame: mode === 0 ? 6 : 8
    readonly property bool switchByPass: manager.animSwitchSec === 0
    readonly property string picture: "qrc:/qml/images/" + (mode === 0 ? "NFC/" : "Barcode/")
                                      + (frame > (mode === 0 ? 6 : 8) ? 0 : frame) + ".png"

    function toggleMode() { mode = mode === 0 ? 1 : 0 }

    function step() {
        if (frame >= lastFrame) {
            frame = 0
            if (switchByPass)
                toggleMode()
        } else {
            frame += 1
        }
    }

    // The frame goes back to 0 before the mode changes: in between, a frame past the other
    // animation's last one would name a picture that does not exist.
    function switchAnimation() {
        frame = 0
        toggleMode()
    }

    // With switching by pass, an animation hands over as soon as it reaches its last frame.
    onFrameChanged: {
        if (switchByPass && frame === lastFrame)
            switchAnimation()
    }

    Timer {
        id: frameTimer
        objectName: "frameTimer"
        interval: 300
        repeat: true
        running: root.visible
        onTriggered: root.step()
    }

    Timer {
        id: switchTimer
        objectName: "switchTimer"
        interval: Math.max(0, manager.animSwitchSec) * 1000
        repeat: true
        running: root.visible && !root.switchByPass && manager.animSwitchSec > 0
        onTriggered: root.switchAnimation()
    }

    FrameHolder { objectName: "cardFrames"; path: "qrc:/qml/images/NFC/"; count: 7; current: root.picture }
    FrameHolder { objectName: "ticketFrames"; path: "qrc:/qml/images/Barcode/"; count: 9; current: root.picture }

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
        id: prompt
        objectName: "prompt"
        y: 150
        anchors.right: parent.right
        anchors.rightMargin: 20
        width: 150
        height: 170
        horizontalAlignment: Text.AlignRight
        wrapMode: Text.WordWrap
        font.family: Style.fontFamily
        font.pointSize: 14
        font.bold: true
        color: Style.onPicture
        text: manager.dynTr + (root.mode === 0 ? qsTr("SCAN\nYOUR CARD") : qsTr("SCAN\nYOUR TICKET"))
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
