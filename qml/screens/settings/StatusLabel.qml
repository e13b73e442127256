import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "StatusRules.js" as Rules

// A value text coloured by one of the status rules ("validator", "network", "update",
// "diagnostics"); with no rule it keeps the theme's text colour.
Label {
    id: root
    textFormat: Text.PlainText

    property string rule: ""
    // The row title, which the network rule looks at.
    property string title: ""
    readonly property string colourName: Rules.colourName(rule, title, text)

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
