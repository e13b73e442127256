import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import com.orvo.rules 1.0

// A value text coloured by one of the status rules ("validator", "connection", "connectivity",
// "update", "diagnostics"); with no rule it keeps the theme's text colour.
Label {
    id: root
    textFormat: Text.PlainText

    property string rule: ""
    // The value the colour follows: the text itself unless the row says otherwise.
    property string source: text
    readonly property string colourName: StatusRules.colourName(rule, source)

    color: {
        switch (colourName) {
        case "green": return Material.color(Material.Green)
        case "red": return Material.color(Material.Red)
        case "amber": return Material.color(Material.Amber)
        case "grey": return Material.color(Material.Grey)
        }
        return Material.foreground
    }
}
