import QtQuick 2.15

// Stands in for the clock proxy (`manager.clock`).
CallLog {
    property var timezones: ["Europe/Athens", "Europe/Dublin", "UTC"]
    property string timezone: "Europe/Athens"
    property string ntpServer: "pool.ntp.org"
    property bool ntpEnabled: true
    property bool ntpSynced: false

    function reset() {
        clear()
        timezone = "Europe/Athens"
        ntpServer = "pool.ntp.org"
        ntpEnabled = true
        ntpSynced = false
    }

    function refresh() { record("refresh") }
    function ntpSync() { record("ntpSync") }
}
