pragma Singleton
import QtQuick 2.15

// The look of the whole display in one place: colours, the font and the sizes that more than
// one screen or control uses. Screens and controls name these instead of repeating values.
QtObject {
    // The window runs the Material style in its dark theme (qtquickcontrols2.conf); controls
    // that have a light and a dark variant pick the dark one through this flag.
    readonly property bool dark: true

    readonly property color accent: "#00ADD7"
    readonly property color background: dark ? "#303030" : "#fafafa"
    readonly property color foreground: dark ? "white" : "black"
    readonly property color shadow: "#80000000"

    // Results: always paired with a symbol of its own shape, never told by colour alone.
    readonly property color valid: "#41b987"
    readonly property color warning: "#fcdb03"
    readonly property color error: "#db4a37"

    readonly property color scanButton: "#000621"
    readonly property color scanButtonPressed: "#36C478"
    readonly property color rowText: dark ? "white" : "#43496a"
    readonly property color rowTime: dark ? "white" : "#70758e"

    readonly property string fontFamily: "DejaVu Sans"

    readonly property int screenWidth: 480
    readonly property int screenHeight: 800
    readonly property int headerHeight: 120

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
