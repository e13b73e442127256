import QtQuick 2.15
import "parts"

// Stands in for the board proxy (`board`). Requests are only recorded, like a proxy whose
// service has not answered yet; a test plays the service by setting the properties.
CallLog {
    property string poleId: "0101020203030404"
    property string displayBrightnessMode: "auto"
    property int displayBrightness: 60
    property int ambientLightSensor: 35
    property bool audioEnabled: true

    function reset() {
        clear()
        poleId = "0101020203030404"
        displayBrightnessMode = "auto"
        displayBrightness = 60
        ambientLightSensor = 35
        audioEnabled = true
    }

    function monitor(msec) { record("monitor", [msec]) }
    function setDisplayBrightnessMode(value) { record("setDisplayBrightnessMode", [value]) }
    function setDisplayBrightness(value) { record("setDisplayBrightness", [value]) }
    function setAudioEnabled(value) { record("setAudioEnabled", [value]) }
    function playBuzzer(onMsec, offMsec, repeat) { record("playBuzzer", [onMsec, offMsec, repeat]) }
    function setLedTestPattern() { record("setLedTestPattern") }
    function setLedOff() { record("setLedOff") }
}
