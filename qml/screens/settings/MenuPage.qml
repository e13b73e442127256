import QtQuick 2.15
import QtQuick.Controls 2.15

// The first page of the maintenance frame: one row per page. The eight rows share the height
// below the toolbar, so the last one is not cut off by the bottom edge.
Item {
    id: root

    // Emitted with the page's title and file when a row is pressed.
    signal pageRequested(string title, string source)

    readonly property var entries: [
        { name: "validator", title: "Validator", hint: "Validator information and settings",
          page: "Validator.qml", icon: "ticket.svg" },
        { name: "diagnostics", title: "Diagnostics", hint: "System health and diagnostic",
          page: "Diagnostics.qml", icon: "diagnostic.svg" },
        { name: "region", title: "Region", hint: "Date, time and languange settings",
          page: "Region.qml", icon: "region.svg" },
        { name: "audio", title: "Audio", hint: "Adjust audio volume",
          page: "Audio.qml", icon: "audio.svg" },
        { name: "display", title: "Display", hint: "Adjust display brightness and mode",
          page: "Display.qml", icon: "brightness-2.svg" },
        { name: "network", title: "Network", hint: "Configure Ethernet, WiFi and Modem",
          page: "Network.qml", icon: "network.svg" },
        { name: "update", title: "Update", hint: "Check for software and sytem updates",
          page: "Update.qml", icon: "update.svg" },
        { name: "eventLog", title: "Event Log", hint: "Examine system events and alarms",
          page: "EventLog.qml", icon: "log.svg" }
    ]

    Column {
        anchors.fill: parent

        Repeater {
            model: root.entries
            delegate: RowButton {
                objectName: "menu_" + modelData.name
                width: root.width
                height: Math.floor(root.height / root.entries.length)
                title: modelData.title
                hint: modelData.hint
                iconSource: "qrc:/qml/images/Icons/" + modelData.icon
                onClicked: root.pageRequested(modelData.title, modelData.page)
            }
        }
    }
}
