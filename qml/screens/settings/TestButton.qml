import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"
import com.orvo.rules 1.0

// A self-test button whose fill shows the result of its test; a highlighted one also gets an
// accent frame. The result is never told by the fill alone: a mark follows the label (a tick
// for OK, a cross for an error, "!" for anything else) and assistive tools hear the result.
PageButton {
    id: root

    // What the button says; it shows it with the result's mark.
    property string label: ""
    // The test's result text ("", "OK", "ERROR", ...).
    property string result: ""
    // A fixed fill instead of the result's colour (FINISH).
    property color fill: "transparent"
    readonly property string colourName: StatusRules.colourName("diagnostics", result)
    readonly property string mark: {
        if (fill.a > 0)
            return ""
        switch (colourName) {
        case "green": return "\u2713"
        case "red": return "\u2717"
        case "amber": return "!"
        }
        return ""
    }

    text: mark === "" ? label : label + "  " + mark
    Accessible.name: label
    Accessible.description: fill.a > 0 ? "" : result === "" ? "Not tested" : "Result: " + result
    Material.foreground: Style.onFill
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
