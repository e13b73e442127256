pragma Singleton
import QtQuick 2.15

// The look of the whole display in one place: colours, the font and the sizes that more than
// one screen or control uses. Screens and controls name these instead of repeating values.
QtObject {
    // Whether the window's Material theme is dark (the configured default); the window keeps
    // it in step with its theme, and controls with a light and a dark variant pick theirs by it.
    property bool dark: true

    readonly property color accent: "#00ADD7"
    // Text in the accent colour (headings, the current tab): on the light background the accent
    // reads at 2.5:1, so the light theme takes a darker shade of the same hue (4.7:1 on #fafafa).
    readonly property color accentText: dark ? accent : "#007a99"
    // Placeholders and hints: Material's hint grey reads at 2.6:1 in both themes.
    readonly property color hint: dark ? "#a6a6a6" : "#6b6b6b"
    // Texts drawn straight on the window's background picture (the header, the passenger screens),
    // which is dark in both themes.
    readonly property color onPicture: "white"
    readonly property color errorOnPicture: "#e57373"
    readonly property color background: dark ? "#303030" : "#fafafa"
    readonly property color foreground: dark ? "white" : "black"
    readonly property color shadow: "#80000000"
    // Behind a modal popup the page goes darker in both themes, so the popup stands out and
    // the page still reads as the same page.
    readonly property color dim: "#a6000000"

    // Results: always paired with a symbol of its own shape, never told by colour alone.
    readonly property color valid: "#41b987"
    readonly property color warning: "#fcdb03"
    readonly property color error: "#db4a37"

    // Status texts by colour name ("green", "red", "amber", "grey"; anything else is the
    // theme's text colour). The dark theme shows the Material 500 shades; on the light
    // background those are too pale to read, so it takes darker ones of the same hue.
    function statusColour(name) {
        switch (name) {
        case "green": return dark ? "#4caf50" : "#2e7d32"
        case "red": return dark ? "#f44336" : "#c62828"
        case "amber": return dark ? "#ffc107" : "#9a6700"
        case "grey": return dark ? "#9e9e9e" : "#616161"
        }
        return foreground
    }
    // Text on a filled result button (Material 500 fills, the accent): black reads on all.
    readonly property color onFill: "black"

    readonly property color scanButton: "#000621"
    readonly property color scanButtonPressed: "#36C478"
    // A symbol drawn in the text colour of the light theme, where the accent is too pale.
    readonly property color lightSymbol: "#43496a"
    readonly property color rowText: dark ? "white" : "#43496a"
    readonly property color rowTime: dark ? "white" : "#70758e"
    // A collapsed row's title is faded; at 0.75 the light theme's #43496a reads just under 4.5:1.
    readonly property real rowTitleOpacity: dark ? 0.75 : 0.8

    readonly property string fontFamily: "DejaVu Sans"

    readonly property int screenWidth: 480
    readonly property int screenHeight: 800
    readonly property int headerHeight: 120
    // The bottom strip that the window's version text sits in; no page puts a control there.
    readonly property int versionStrip: 30

    readonly property string icons: "qrc:/qml/images/Icons/"
    readonly property string flags: "qrc:/qml/images/Flags/"

    // The URL of `source` drawn as a silhouette in `tint` by the symbol image provider, so the
    // tint shows in the software renderer too. A fully transparent tint keeps the picture's
    // own colours; an empty source stays empty.
    function symbol(source, tint) {
        var s = String(source);
        if (s === "")
            return "";
        var c = Qt.lighter(tint, 1.0);
        if (c.a === 0)
            return s;
        var path = s.replace(/^qrc:\/*/, "").replace(/^:\/*/, "");
        var alpha = c.a < 1 ? hex(c.a) : "";
        return "image://symbol/" + path + "?color=" + alpha + hex(c.r) + hex(c.g) + hex(c.b);
    }

    // "qrc:/qml/images/Icons/valid.svg" -> "valid": a name for an icon that has no text.
    function baseName(source) {
        var s = String(source);
        return s.substring(s.lastIndexOf("/") + 1).replace(/\.[^.]*$/, "");
    }

    function hex(v) {
        var s = Math.round(v * 255).toString(16);
        return s.length < 2 ? "0" + s : s;
    }
}
