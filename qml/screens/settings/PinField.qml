import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"

// The PIN page's text area: the "Pin" placeholder, the typed digits, or, while logins are
// refused after wrong PINs, how long the technician has to wait.
Rectangle {
    id: root

    property string input: ""
    property bool dark: true
    property bool lockedOut: false
    property string placeholder: ""
    property string lockoutText: ""
    readonly property bool empty: input.length === 0

    height: 70
    color: dark ? "black" : "white"
    border.width: 1
    border.color: dark ? "black" : "#e2e2e2"

    Image {
        id: lockIcon
        objectName: "lockIcon"
        anchors.left: parent.left
        anchors.leftMargin: 20
        anchors.verticalCenter: parent.verticalCenter
        width: 35
        height: 35
        sourceSize: Qt.size(35, 35)
        source: Style.symbol(Style.icons + "lock.svg", root.dark ? Style.accent : Style.lightSymbol)
    }

    Label {
        objectName: "pinText"
        anchors.left: lockIcon.right
        anchors.leftMargin: 20
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        elide: Text.ElideRight
        font.family: "Arial"
        font.pointSize: root.lockedOut && root.empty ? 12 : 16
        font.letterSpacing: 1.2
        wrapMode: Text.WordWrap
        maximumLineCount: 2
        color: root.lockedOut && root.empty ? Style.statusColour("red")
                                            : root.empty ? (root.dark ? "#8f8f8f" : Style.hint) : (root.dark ? "white" : "black")
        text: !root.empty ? root.input : root.lockedOut ? root.lockoutText : root.placeholder
        textFormat: Text.PlainText
    }
}
