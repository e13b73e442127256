import QtQuick 2.15
import "../style"

// The look and the key order of a NumberPad. Keys 9 and 11 are the two non-number keys.
QtObject {
    property string leftArrow: "\u2190"
    // Always empty, like the GUI manager's. "CLR" re-translates because its binding reads
    // manager.dynTr itself, which notifies on every language change; a copy here never changes
    // value, so it alone would not.
    property string dynTr: ""
    property var phoneModel: ["1", "2", "3", "4", "5", "6", "7", "8", "9", leftArrow, "0",
        dynTr + (typeof manager !== "undefined" && manager ? manager.dynTr : "") + qsTr("CLR")]
    property var keypadModel: ["7", "8", "9", "4", "5", "6", "1", "2", "3", leftArrow, "0",
        dynTr + (typeof manager !== "undefined" && manager ? manager.dynTr : "") + qsTr("CLR")]
    property var customModel: []
    property int btnWidth: 118
    property int btnHeight: 70
    property bool phoneLayout: true
    property bool overrideModel: false
    property int columnSpacing: 6
    property int rowSpacing: 7
    property real btnRadius: 4
    property color btnColor: Style.dark ? "black" : "white"
    // The window's font: a family the device does not carry would fall back unpredictably.
    property string btnTextFamily: Style.fontFamily
    property real btnTextSize: 16
    property int btnTextWeight: Font.Medium
    property color btnTextColor: Style.dark ? "white" : "black"
    property color btnBorderColor: Style.dark ? "transparent" : "black"
    property int btnBorderWidth: Style.dark ? 0 : 1
    property color btnNonNumberColor: Style.dark ? "#757575" : "#D6D6D6"
    property color btnNonNumberTextColor: Style.dark ? "white" : "black"
}
