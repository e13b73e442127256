import QtQuick 2.15
import "../controls"
import "../style"
import com.orvo.rules 1.0

// The figures under a "Valid" or "AlreadyValid" result. Which figures depends on the product
// type; a type without figures shows nothing. Texts are looked up in the hosting screen's
// translation context.
Item {
    id: root
    objectName: "detailsBlock"

    property var type
    property var details: ({})
    property var locale: Qt.locale()
    // An already validated capped product has nothing new to tell.
    property bool alreadyValid: false
    property string trContext: "Valid"

    readonly property string kind: ProductDetails.kind(type, alreadyValid)
    readonly property bool twoColumns: kind !== "ticket"

    function tr(text) { return manager.dynTr + qsTranslate(trContext, text) }

    function periodText(minutes) {
        const period = ProductDetails.period(minutes)
        return period.count + " " + unitText(period.unit)
    }

    function unitText(unit) {
        switch (unit) {
        case "day": return tr("day")
        case "days": return tr("days")
        case "hour": return tr("hour")
        case "hours": return tr("hours")
        case "min": return tr("min")
        }
        return tr("mins")
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
