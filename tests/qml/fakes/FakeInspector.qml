import QtQuick 2.15
import "parts"

// Stands in for the system inspector proxy (`inspector`).
CallLog {
    property int audioVolume: 70

    function reset() {
        clear()
        audioVolume = 70
    }

    function audioPlay(path) { record("audioPlay", [path]) }
    function setAudioVolume(value) { record("setAudioVolume", [value]) }
}
