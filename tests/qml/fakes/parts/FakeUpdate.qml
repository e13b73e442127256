import QtQuick 2.15

// Stands in for the software update proxy (`manager.update`).
CallLog {
    property string status: "Idle"
    property string current: "1.4.0"
    property string pending: ""
    property int progressPercent: 0
    property string progressMessage: ""

    function reset() {
        clear()
        status = "Idle"
        current = "1.4.0"
        pending = ""
        progressPercent = 0
        progressMessage = ""
    }

    function check() { record("check") }
    function install() { record("install") }
}
