import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import com.orvo.rules 1.0

// A self-test button whose fill shows the result of its test; a highlighted one also gets an
// accent frame.
PageButton {
    id: root

    // The test's result text ("", "OK", "ERROR", ...).
    property string result: ""
    // A fixed fill instead of the result's colour (FINISH).
    property color fill: "transparent"
    readonly property string colourName: StatusRules.colourName("diagnostics", result)

    Accessible.name: text
    Material.foreground: "white"
    onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()

    background: Rectangle {
        implicitHeight: 48
        radius: 4
        color: {
            if (root.fill.a > 0)
                return root.fill
            switch (root.colourName) {
            case "green": return Material.color(Material.Green)
            case "red": return Material.color(Material.Red)
            case "amber": return Material.color(Material.Amber)
            }
            return Material.color(Material.Grey)
        }
        opacity: root.down ? 0.7 : 1.0
        border.width: root.highlighted ? 3 : 0
        border.color: Material.accent
    }
}
