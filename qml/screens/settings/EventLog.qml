import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "../../style"

// The recorded events, newest first, searchable by name and limited to a period. The filters
// live in the event log; the page starts from the whole log so that its controls and the list
// agree.
Item {
    id: root
    objectName: "eventLogPage"

    readonly property var periods: ["All history", "Last hour", "Last 2 hours", "Today", "Yesterday",
                                    "Last week", "Last month"]
    // The event log's severity values; events carry none yet, so every choice lists them all.
    readonly property var severities: [{ "text": "Critical", "value": 2 }, { "text": "Warning", "value": 1 },
                                       { "text": "All messages", "value": 0 }]
    // Times and days in the language the window shows.
    readonly property var locale: Qt.locale(manager.language)

    Component.onCompleted: {
        eventLogManager.applyFilter("")
        eventLogManager.applyFilter(0)
        eventLogManager.applyFilterPeriod(periods[0])
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Image {
                Layout.preferredWidth: 30
                Layout.preferredHeight: 30
                sourceSize: Qt.size(30, 30)
                source: Style.symbol(Style.icons + "search.svg",
                                     Style.dark ? Style.accent : Style.lightSymbol)
            }
            TextField {
                id: searchField
                objectName: "eventSearchField"
                Accessible.name: placeholderText
                Layout.fillWidth: true
                placeholderText: manager.dynTr + qsTr("Search")
                placeholderTextColor: Style.hint
                inputMethodHints: Qt.ImhNoPredictiveText | Qt.ImhLatinOnly
                onTextChanged: eventLogManager.applyFilter(text)
            }
            PageButton {
                objectName: "eventSearchClear"
                Layout.preferredHeight: 56
                text: "CLEAR"
                onClicked: {
                    searchField.clear()
                    Qt.inputMethod.hide()
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            ComboBox {
                objectName: "eventSeverityCombo"
                Accessible.name: "Severity"
                Layout.fillWidth: true
                model: root.severities
                textRole: "text"
                currentIndex: root.severities.length - 1
                onActivated: {
                    eventLogManager.applyFilter(root.severities[index].value)
                    Qt.inputMethod.hide()
                }
            }
            ComboBox {
                objectName: "eventPeriodCombo"
                Accessible.name: "Period"
                Layout.fillWidth: true
                model: root.periods
                onActivated: {
                    eventLogManager.applyFilterPeriod(currentText)
                    Qt.inputMethod.hide()
                }
            }
        }

        EventList {
            objectName: "eventList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: eventLogManager.model
            locale: root.locale
        }
    }
}
