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

    Accessible.role: Accessible.Button
    Accessible.name: "Next colour"

    MouseArea {
        objectName: "rgbArea"
        anchors.fill: parent
        onClicked: {
            if (root.step < root.colours.length - 1)
                ++root.step
            else
                root.StackView.view.pop()
        }
    }
}
