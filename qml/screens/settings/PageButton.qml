import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"

// A page's action button. Its fill is a plain rectangle (accent when highlighted), so it
// shows the same without the GPU effects the stock button draws its background with.
Button {
    id: root

    implicitHeight: 56
    Accessible.name: text
    // Black on the accent fill, white on the grey one: both read at more than 7:1.
    Material.foreground: !enabled ? Qt.rgba(1, 1, 1, 0.5) : highlighted ? Style.onFill : "white"
    onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()

    background: Rectangle {
        implicitWidth: 88
        implicitHeight: 48
        radius: 4
        color: !root.enabled ? Qt.rgba(1, 1, 1, 0.08)
             : root.highlighted ? (root.down ? Qt.darker(Style.accent, 1.3) : Style.accent)
             : (root.down ? "#5a5a5a" : "#474747")
    }
}
