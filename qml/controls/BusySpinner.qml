import QtQuick 2.15

// A busy indicator whose picture changes a few times a second, not on every frame: an arc with
// a fading tail, drawn once and turned one step at a time. Between steps the window has nothing
// to draw, and a step redraws only the indicator's square where the renderer allows it.
Item {
    id: root

    property bool running: true
    property color color: "#00ADD7"
    property int stepsPerTurn: 12
    property int stepInterval: 125
    // The step shown, 0 to stepsPerTurn - 1.
    property int step: 0

    implicitWidth: 48
    implicitHeight: 48
    Accessible.role: Accessible.Indicator

    Timer {
        objectName: "spinnerTimer"
        interval: root.stepInterval
        repeat: true
        // Nobody sees a hidden indicator turn.
        running: root.running && root.visible
        onTriggered: root.step = (root.step + 1) % root.stepsPerTurn
    }

    Canvas {
        id: arc
        objectName: "spinnerArc"
        anchors.fill: parent
        visible: root.running
        rotation: root.step * 360 / root.stepsPerTurn
        // The turned picture stays smooth at its edges.
        smooth: true
        antialiasing: true

        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        Connections {
            target: root
            function onColorChanged() { arc.requestPaint() }
        }

        // Three quarters of a ring, from the full colour at its head (twelve o'clock) fading to
        // nothing at its tail, as it turns clockwise.
        onPaint: {
            var context = getContext("2d")
            context.reset()
            var side = Math.min(width, height)
            var line = Math.max(2, side / 12)
            var fade = context.createConicalGradient(width / 2, height / 2, Math.PI / 2)
            fade.addColorStop(0, root.color)
            fade.addColorStop(0.75, Qt.rgba(root.color.r, root.color.g, root.color.b, 0))
            fade.addColorStop(1, Qt.rgba(root.color.r, root.color.g, root.color.b, 0))
            context.lineWidth = line
            context.strokeStyle = fade
            context.beginPath()
            context.arc(width / 2, height / 2, (side - line) / 2, -Math.PI / 2, 0, true)
            context.stroke()
        }
    }
}
