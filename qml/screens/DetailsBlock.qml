import QtQuick 2.15
import "../controls"
import "../style"

// The figures under a "Valid" or "AlreadyValid" result. Which figures depends on the product
// type; a type without figures shows nothing. The hosting screen hands in the words, translated
// in its own context.
Item {
    id: root
    objectName: "detailsBlock"

    property var type
    property var details: ({})
    property var locale: Qt.locale()
    // An already validated capped product has nothing new to tell.
    property bool alreadyValid: false
    // The block's words in the screen's language, by their English text.
    property var words: ({})

    readonly property string kind: {
        switch (Number(type)) {
        case 0: return "ticket"
        case 5: case 12: return "journeys"
        case 16: return alreadyValid ? "" : "journeys"
        case 14: return "transfer"
        case 8: return "period"
        case 2: return "purse"
        case 15: return alreadyValid ? "" : "purse"
        default: return ""
        }
    }
    readonly property bool twoColumns: kind !== "ticket"

    function tr(text) { return words[text] || text }

    function periodText(minutes) {
        var m = Number(minutes) || 0
        var n
        if (m > 1440) {
            n = Math.round(m / 1440)
            return n + " " + (n === 1 ? tr("day") : tr("days"))
        }
        if (m > 120) {
            n = Math.round(m / 60)
            return n + " " + (n === 1 ? tr("hour") : tr("hours"))
        }
        return m + " " + (m === 1 ? tr("min") : tr("mins"))
    }

    function money(value) {
        return Number(value || 0).toLocaleCurrencyString(locale)
    }

    function date(value) {
        return (value instanceof Date && !isNaN(value.getTime())) ? value.toLocaleDateString(locale, "d MMM yy") : ""
    }

    readonly property var d: details || ({})
    readonly property string leftHeadingText: kind === "" ? "" : kind === "purse" ? tr("Deducted") : tr("Remaining")
    readonly property string leftValueText: {
        switch (kind) {
        case "purse": return money(d.deducted)
        case "period": return periodText(d.remaining)
        case "": return ""
        default: return periodText(d.transferRemainingMin)
        }
    }
    readonly property string rightHeadingText: {
        switch (kind) {
        case "journeys": return tr("Trips")
        case "transfer": case "purse": return tr("Balance")
        case "period": return tr("Expires")
        default: return ""
        }
    }
    readonly property string rightValueText: {
        switch (kind) {
        case "journeys": return d.remaining === undefined ? "" : String(d.remaining)
        case "transfer": case "purse": return money(d.remaining)
        case "period": return date(d.expires)
        default: return ""
        }
    }

    width: parent ? parent.width : Style.screenWidth
    height: 100
    visible: kind !== ""

    Column {
        width: root.twoColumns ? root.width / 2 : root.width

        TextBox {
            objectName: "leftHeading"
            width: parent.width
            height: 30
            textSize: 10
            leftMargin: root.twoColumns ? 35 : 0
            textHAlign: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
            text: root.leftHeadingText
        }
        TextBox {
            objectName: "leftValue"
            width: parent.width
            height: 70
            textSize: 14
            textBold: root.kind !== "purse"
            leftMargin: root.twoColumns ? 35 : 0
            textHAlign: root.twoColumns ? Text.AlignLeft : Text.AlignHCenter
            textVAlign: Text.AlignTop
            text: root.leftValueText
        }
    }

    Column {
        x: root.width / 2
        width: root.width / 2
        visible: root.twoColumns

        TextBox {
            objectName: "rightHeading"
            width: parent.width
            height: 30
            textSize: 10
            rightMargin: 35
            textHAlign: Text.AlignRight
            text: root.rightHeadingText
        }
        TextBox {
            objectName: "rightValue"
            width: parent.width
            height: 70
            textSize: 14
            textBold: root.kind === "journeys" || root.kind === "period"
            rightMargin: 35
            textHAlign: Text.AlignRight
            textVAlign: Text.AlignTop
            text: root.rightValueText
        }
    }
}
