import QtQuick 2.15
import "../style"

// A label that fills its box less the side margins: the texts of the result screens.
Rectangle {
    id: root

    property string text: ""
    property real textSize: 16
    property int textHAlign: Text.AlignHCenter
    property int textVAlign: Text.AlignVCenter
    property bool textBold: false
    property real textLetterSpacing: 1.0
    property real leftMargin: 0
    property real rightMargin: 0
    // How assistive tools present the text; a result's title is an alert, so a screen reader
    // announces it the moment it shows.
    property int accessibleRole: Accessible.StaticText

    color: "transparent"

    Text {
        objectName: "text"
        anchors.fill: parent
        anchors.leftMargin: root.leftMargin
        anchors.rightMargin: root.rightMargin
        text: root.text
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Style.onPicture
        font.family: Style.fontFamily
        font.pointSize: root.textSize
        font.bold: root.textBold
        font.letterSpacing: root.textLetterSpacing
        horizontalAlignment: root.textHAlign
        verticalAlignment: root.textVAlign
        Accessible.role: root.accessibleRole
        Accessible.name: text
    }
}
