import QtQuick 2.15
import "../style"

// The header clock. It also hides the way into maintenance: a press held for longPressMsec,
// or more than two presses within one second, emits pressAndHold().
Rectangle {
    id: root

    signal clicked()
    signal pressAndHold()

    // The language the month and day names follow ("el_GR", "en_IE"); empty: system locale.
    property string language: ""
    property var locale: language !== "" ? Qt.locale(language) : Qt.locale()
    property int longPressMsec: 800
    property string dateFormat: "ddd, d MMM yyyy"
    property string timeFormat: "hh:mm:ss"
    property int clicks: 0
    property date now: new Date()
    property color textColor: Style.foreground

    width: 200
    height: 65
    color: "transparent"

    Accessible.role: Accessible.Clock
    Accessible.name: "Clock"
    Accessible.description: timeText.text
    Accessible.onPressAction: root.clicked()

    Timer {
        objectName: "displayTimer"
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: root.now = new Date()
    }

    Column {
        anchors.right: parent.right
        anchors.rightMargin: 25
        anchors.verticalCenter: parent.verticalCenter

        Text {
            id: dateText
            objectName: "clockDate"
            anchors.right: parent.right
            horizontalAlignment: Text.AlignRight
            text: root.now.toLocaleDateString(root.locale, root.dateFormat)
            textFormat: Text.PlainText
            color: root.textColor
            font.family: Style.fontFamily
            font.pixelSize: 20
            font.weight: Font.Medium
            font.letterSpacing: 0.2
        }

        Text {
            id: timeText
            objectName: "clockTime"
            anchors.right: parent.right
            horizontalAlignment: Text.AlignRight
            text: root.now.toLocaleTimeString(root.locale, root.timeFormat)
            textFormat: Text.PlainText
            color: root.textColor
            font.family: Style.fontFamily
            font.pixelSize: 42
            font.bold: true
            font.letterSpacing: 0.8
        }
    }

    // Counts the presses of one second, whatever else happens in it: a hold does not reset the
    // count, so a hold followed by two taps still makes three.
    Timer {
        id: pressTimer
        objectName: "pressTimer"
        interval: 1000
        onTriggered: {
            console.log("[QML][Clock] Press time expired : " + root.clicks + " click(s)");
            if (root.clicks > 2) {
                console.log("[QML][Clock] More than 2 taps detected within 1 sec.");
                root.pressAndHold();
            }
            root.clicks = 0;
        }
    }

    Timer {
        id: holdTimer
        objectName: "holdTimer"
        interval: root.longPressMsec
        onTriggered: {
            area.held = true;
            console.log("[QML][Clock] Press and hold detected");
            pressTimer.stop();
            root.pressAndHold();
        }
    }

    MouseArea {
        id: area
        property bool held: false

        anchors.fill: parent
        onPressed: {
            held = false;
            root.clicks += 1;
            if (!pressTimer.running)
                pressTimer.start();
            holdTimer.restart();
        }
        onReleased: holdTimer.stop()
        onCanceled: holdTimer.stop()
        onClicked: {
            if (!held)
                root.clicked();
        }
    }
}
