import QtQuick 2.15
import QtQuick.Controls 2.15

// The display colour test: full screen red, green, then blue; each tap moves on and the tap
// on blue closes it. The frame hides its toolbar while a fullScreen page is shown.
Rectangle {
    id: root
    objectName: "rgbPage"

    readonly property bool fullScreen: true
    readonly property var colours: ["red", "#00ff00", "blue"]
    property int step: 0

    color: colours[step]

    function next() {
        if (step < colours.length - 1)
            ++step
        else
            StackView.view.pop()
    }

    MouseArea {
        objectName: "rgbArea"
        Accessible.role: Accessible.Button
        Accessible.name: "Next colour"
        Accessible.onPressAction: root.next()
        anchors.fill: parent
        onClicked: root.next()
    }
}
