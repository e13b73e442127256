import QtQuick 2.15
import "../controls"
import "../style"

// The card or ticket was validated before: nothing was charged this time.
Item {
    id: root
    objectName: "AlreadyValid"

    // Dates and money follow the language the passenger chose.
    property var locale: Qt.locale()

    Connections {
        target: manager
        function onLanguageChanged() { root.locale = Qt.locale(manager.language) }
    }

    Column {
        width: parent.width

        ImageBox {
            objectName: "symbol"
            accessibleName: manager.dynTr + qsTr("Warning")
            width: parent.width
            icon: Style.icons + "warning.svg"
            iconSize: Qt.size(250, 250)
            iconColor: Style.warning
        }
        TextBox {
            objectName: "label"
            accessibleRole: Accessible.AlertMessage
            width: parent.width
            height: 100
            textSize: 24
            text: manager.dynTr + qsTr("ALREADY VALIDATED")
        }
        TextBox {
            objectName: "fareProduct"
            width: parent.width
            height: 100
            textSize: 14
            text: transaction.fareProduct || ""
        }
        ResultSeparator {}
        DetailsBlock {
            type: transaction.type
            details: transaction.details
            locale: root.locale
            alreadyValid: true
            words: ({
                "Remaining": manager.dynTr + qsTr("Remaining"),
                "Balance": manager.dynTr + qsTr("Balance"),
                "Deducted": manager.dynTr + qsTr("Deducted"),
                "Expires": manager.dynTr + qsTr("Expires"),
                "Trips": manager.dynTr + qsTr("Trips"),
                "day": manager.dynTr + qsTr("day"),
                "days": manager.dynTr + qsTr("days"),
                "hour": manager.dynTr + qsTr("hour"),
                "hours": manager.dynTr + qsTr("hours"),
                "min": manager.dynTr + qsTr("min"),
                "mins": manager.dynTr + qsTr("mins")
            })
        }
    }
}
