import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15

// An IPv4 address entry. Empty counts as valid: optional fields may stay blank, and the page
// decides which ones may not. The text turns red when editing ends on an invalid address.
TextField {
    id: root

    // Four numbers 0-255 without leading zeros, separated by dots.
    readonly property var pattern: /^((25[0-5]|(2[0-4]|1\d|[1-9]|)\d)\.?\b){4}$/
    readonly property bool valid: text.length === 0 || pattern.test(text)
    property bool checked: false

    inputMethodHints: Qt.ImhFormattedNumbersOnly
    color: checked && !valid ? Material.color(Material.Red) : Material.foreground
    onEditingFinished: checked = true
    onTextEdited: checked = false
}
