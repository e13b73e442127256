import QtQuick 2.15
import "../style"

// One row of the event log: a coloured strip, a title, a time and, when expanded, the message
// and a delete button.
Item {
    id: root

    signal clicked()
    signal pressed()
    signal released()
    signal deleteRequest()

    property string title: ""
    property string message: ""
    property string time: ""
    property bool isExpandable: false
    property bool expanded: false
    property bool hasTime: time !== ""
    property color textColor: Style.rowText
    property bool enableColorAnimation: false
    property color decorationColor: Style.accent
    property color backgroundColor: Style.dark ? "black" : "white"
    property color pressedColor: Style.accent
    // true: a press latches the row in state "pressed" until the next press.
    property bool enableLatchButton: false
    // false: no delete button, even when expanded.
    property bool deletable: true

    width: parent ? parent.width : 0
    height: textBox.height
    state: "released"

    Accessible.role: Accessible.ListItem
    Accessible.name: title
    Accessible.description: expanded ? message : ""
    Accessible.onPressAction: mouseArea.activate()

    states: [
        State { name: "pressed" },
        State { name: "released" }
    ]

    // The latched row pulses slowly (well under three times a second).
    SequentialAnimation {
        id: latchedCycle
        running: root.state === "pressed"
        loops: Animation.Infinite
        ColorAnimation { target: textBox; property: "color"; to: root.pressedColor; duration: 150 }
        PauseAnimation { duration: 1200 }
        ColorAnimation { target: textBox; property: "color"; to: root.backgroundColor; duration: 150 }
        onRunningChanged: {
            if (!running)
                textBox.color = root.backgroundColor;
        }
    }

    ColorAnimation {
        id: flash
        target: textBox
        property: "color"
        from: root.pressedColor
        to: root.backgroundColor
        duration: 1000
    }

    Rectangle {
        id: strip
        width: 16
        height: parent.height
        radius: 4
        color: root.decorationColor
    }

    Rectangle {
        id: textBox
        objectName: "textBox"
        x: strip.width - 4
        width: parent.width - x
        height: Math.min(150, titleText.contentHeight + 30
                              + (root.expanded ? messageText.contentHeight + 30 : 0))
        color: root.backgroundColor
        clip: true

        Text {
            id: titleText
            objectName: "title"
            anchors.left: parent.left
            anchors.leftMargin: 14
            anchors.right: root.hasTime ? timeRow.left : parent.right
            anchors.rightMargin: 6
            y: 15
            text: root.title
            textFormat: Text.PlainText
            color: root.textColor
            font.family: Style.fontFamily
            font.pixelSize: 18
            font.weight: root.expanded ? Font.Bold : Font.Medium
            font.letterSpacing: 0.8
            elide: root.expanded ? Text.ElideNone : Text.ElideRight
            wrapMode: root.expanded ? Text.Wrap : Text.NoWrap
            maximumLineCount: root.expanded ? 100 : 1
            opacity: root.expanded ? 1.0 : Style.rowTitleOpacity
        }

        Text {
            id: messageText
            objectName: "message"
            visible: root.expanded
            anchors.left: titleText.left
            anchors.right: parent.right
            anchors.rightMargin: 45
            anchors.top: titleText.bottom
            anchors.topMargin: 15
            text: root.message
            textFormat: Text.PlainText
            color: root.textColor
            font.family: Style.fontFamily
            font.pixelSize: 18
            font.weight: Font.Medium
            font.letterSpacing: 0.8
            wrapMode: Text.Wrap
        }

        Row {
            id: timeRow
            visible: root.hasTime
            anchors.right: parent.right
            anchors.rightMargin: 7
            y: 13
            spacing: 5

            Image {
                anchors.verticalCenter: parent.verticalCenter
                sourceSize: Qt.size(16, 16)
                source: Style.symbol(Style.icons + "clock.svg", Style.rowTime)
            }

            Text {
                objectName: "time"
                text: root.time
                textFormat: Text.PlainText
                color: Style.rowTime
                font.family: Style.fontFamily
                font.pixelSize: 14
                font.weight: Font.Medium
            }
        }
    }

    MouseArea {
        id: mouseArea
        // Set when the finger slid off: that already counted as the release.
        property bool slidOff: false

        anchors.fill: textBox

        function activate() {
            if (root.enableLatchButton) {
                if (root.state === "pressed") {
                    root.state = "released";
                    root.released();
                } else {
                    root.state = "pressed";
                    root.pressed();
                }
            }
            if (root.enableColorAnimation)
                flash.restart();
            if (root.isExpandable)
                root.expanded = !root.expanded;
            root.clicked();
        }

        onPressed: {
            slidOff = false;
            if (!root.enableLatchButton)
                root.pressed();
        }
        onReleased: {
            if (!root.enableLatchButton && !slidOff)
                root.released();
        }
        onExited: {
            if (!root.enableLatchButton && pressed && !slidOff) {
                slidOff = true;
                root.released();
            }
        }
        onClicked: activate()
    }

    Image {
        objectName: "deleteButton"
        visible: root.expanded && root.deletable
        anchors.right: textBox.right
        anchors.bottom: textBox.bottom
        anchors.margins: 12
        width: 26
        height: 26
        sourceSize: Qt.size(26, 26)
        source: Style.symbol(Style.icons + "trash.svg", Style.dark ? "white" : "#43496a")
        Accessible.role: Accessible.Button
        Accessible.name: "Delete"
        Accessible.onPressAction: root.deleteRequest()

        MouseArea {
            anchors.fill: parent
            anchors.margins: -8
            onClicked: root.deleteRequest()
        }
    }
}
