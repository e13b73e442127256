import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../../style"

// One entry of the maintenance menu: icon, title over hint, and an arrow.
AbstractButton {
    id: root

    property string title: ""
    property string hint: ""
    property url iconSource
    readonly property color inkColor: "#e7e7e7"

    text: title
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.description: hint

    padding: 15

    background: Rectangle {
        gradient: Gradient {
            GradientStop { position: 0.0; color: root.down ? "#222" : "#333" }
            GradientStop { position: 1.0; color: "#222" }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: "#444"
            visible: !root.down
        }
        Rectangle {
            width: parent.width
            height: 1
            anchors.bottom: parent.bottom
            color: "#000"
        }
    }

    contentItem: RowLayout {
        spacing: 20

        Image {
            readonly property real side: titleText.height + hintText.height
            Layout.preferredWidth: side
            Layout.preferredHeight: side
            sourceSize: Qt.size(side, side)
            source: Style.symbol(root.iconSource, root.inkColor)
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 0
            Label {
                id: titleText
                objectName: root.objectName ? root.objectName + "Title" : ""
                Layout.fillWidth: true
                text: root.title
                textFormat: Text.PlainText
                color: root.inkColor
                font.pixelSize: Math.round(root.height / 4)
                elide: Text.ElideRight
            }
            Label {
                id: hintText
                Layout.fillWidth: true
                text: root.hint
                textFormat: Text.PlainText
                color: root.inkColor
                opacity: 0.6
                font.pixelSize: Math.round(root.height / 8)
                elide: Text.ElideRight
            }
        }

        Image {
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
            sourceSize: Qt.size(24, 24)
            source: Style.symbol(Style.icons + "arrow-right.svg", root.inkColor)
        }
    }
}
