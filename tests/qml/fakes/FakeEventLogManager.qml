import QtQuick 2.15
import "parts"

// Stands in for the event log (`eventLogManager`): `data` is whatever the test puts there.
CallLog {
    property var data: []

    function reset() {
        clear()
        data = []
    }

    function applyFilter(name) { record("applyFilter", [name]) }
    function applyFilterPeriod(period) { record("applyFilterPeriod", [period]) }
}
