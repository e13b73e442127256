import QtQuick 2.15
import QtQuick.Controls 2.15

// A field label with an explanation. A touch screen has no hovering pointer, so the
// explanation also shows for a few seconds when the label is pressed and held.
Label {
    id: root
    textFormat: Text.PlainText

    property string hint: ""
    readonly property alias tipVisible: tip.visible

    MouseArea {
        id: area
        objectName: root.objectName ? root.objectName + "Area" : ""
        anchors.fill: parent
        hoverEnabled: true
        enabled: root.hint.length > 0
        onPressAndHold: held.restart()
    }

    Timer {
        id: held
        interval: 5000
    }

    ToolTip {
        id: tip
        objectName: root.objectName ? root.objectName + "Tip" : ""
        text: root.hint
        visible: root.hint.length > 0 && (area.containsMouse || held.running)
    }
}
