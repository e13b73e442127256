import QtQuick 2.15
import "parts"

// Stands in for the event log (`eventLogManager`): `model` lists whatever rows the test adds
// (name, description, category, timestamp, day as "yyyy-MM-dd"); `data` is whatever the test
// puts there.
CallLog {
    property var data: []
    property ListModel model: ListModel {}

    function reset() {
        clear()
        data = []
        model.clear()
    }

    function applyFilter(value) { record("applyFilter", [value]) }
    function applyFilterPeriod(period) { record("applyFilterPeriod", [period]) }
}
