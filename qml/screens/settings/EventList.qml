import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"
import "../../controls"

// Event rows grouped under a small heading per day, newest first. The model is the event
// log's own list model: rows stay (expanded or not) and the list keeps its place when an
// event comes or goes.
ListView {
    id: root

    // Formats the times and the day headings.
    property var locale: Qt.locale()

    clip: true
    spacing: 5
    // Shown for as long as there is more to see: a cut row alone does not say "scroll".
    ScrollBar.vertical: ScrollBar { policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }

    section.property: "day"
    section.delegate: Label {
        objectName: "eventDay"
        width: root.width
        topPadding: 8
        bottomPadding: 4
        leftPadding: 4
        // The section is the day as "yyyy-MM-dd".
        text: Date.fromLocaleDateString(Qt.locale("C"), section, "yyyy-MM-dd")
                  .toLocaleDateString(root.locale, "dddd, d MMMM yyyy")
        textFormat: Text.PlainText
        font.pixelSize: 14
        color: Style.accentText
    }

    delegate: MessageRowItem {
        objectName: "eventRow_" + index
        width: root.width
        title: model.name
        message: model.description
        time: model.timestamp.toLocaleString(root.locale, "dd-MMM-yy hh:mm")
        isExpandable: true
        enableColorAnimation: true
        // The log is the audit trail of maintenance logins: nothing on the screen it audits
        // may offer to delete an entry.
        deletable: false
        scale: pressedNow ? 0.95 : 1.0
        property bool pressedNow: false
        onPressed: pressedNow = true
        onReleased: pressedNow = false
    }
}
