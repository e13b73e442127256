import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"

// Event rows grouped under a small heading per day; the events come newest first.
ListView {
    id: root

    // A list of event objects (name, description, timestamp).
    property var events: []

    function rebuild() {
        rows.clear()
        const list = events || []
        for (let i = 0; i < list.length; ++i) {
            const event = list[i]
            rows.append({
                "name": event.name,
                "description": event.description,
                "time": event.timestamp.toLocaleString(Qt.locale(), "dd-MMM-yy hh:mm"),
                "day": event.timestamp.toLocaleDateString(Qt.locale(), "dddd, d MMMM yyyy")
            })
        }
    }

    onEventsChanged: rebuild()
    Component.onCompleted: rebuild()

    clip: true
    spacing: 5
    model: ListModel { id: rows }
    ScrollIndicator.vertical: ScrollIndicator {}

    section.property: "day"
    section.delegate: Label {
        objectName: "eventDay"
        width: root.width
        topPadding: 8
        bottomPadding: 4
        leftPadding: 4
        text: section
        textFormat: Text.PlainText
        font.pixelSize: 14
        color: Material.accent
    }

    delegate: MessageRowItem {
        id: row
        objectName: "eventRow_" + index
        width: root.width
        title: model.name
        message: model.description
        time: model.time
        isExpandable: true
        enableColorAnimation: true
        scale: pressedNow ? 0.95 : 1.0
        property bool pressedNow: false
        onPressed: pressedNow = true
        onReleased: pressedNow = false

        // The log is the audit trail of maintenance logins: nothing on the screen it audits
        // may offer to delete an entry, so the row's delete symbol stays hidden.
        Component.onCompleted: {
            for (let i = 0; i < row.children.length; ++i) {
                if (row.children[i].objectName === "deleteButton")
                    row.children[i].visible = false
            }
        }
    }
}
