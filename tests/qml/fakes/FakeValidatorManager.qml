import QtQuick 2.15
import "parts"

// Stands in for the validation service proxy (`validatorManager`) and its reader models.
CallLog {
    id: root

    property string vehicle: "BUS-042"
    property string version: "3.2.1"
    property string status: "online"
    property string reason: ""
    property QtObject rfid: QtObject {
        property string firmware: "1.0.7"
        property string model: "R10"
        property string manufacturer: "Acme"
        property string deviceUid: "04AABB"
        property string state: "searching"
        property string error: ""
        property bool enabled: false
        property QtObject sam: QtObject {
            property int slot: 1
            property string name: "SAM-A"
            property string version: "2"
            property string uid: "5A11"
            property string mode: "AV2"
            property bool unlocked: true
            property date production: new Date(2024, 2, 9)
        }
    }
    property QtObject barcode: QtObject {
        property string firmware: "4.4"
        property string model: "Q2"
        property string manufacturer: "Acme"
        property bool active: true
        property bool enabled: false
    }
    property QtObject config: QtObject {
        property url obuUrl: "http://10.0.0.1:8080"
        property int passbackSecs: 30
        property bool passbackQrEnabled: false
    }

    signal cardDetected(string uid, string type)
    signal cardRemoved()
    signal ticketValidated(var transaction)

    function reset() {
        clear()
        status = "online"
        reason = ""
        rfid.enabled = false
        config.obuUrl = "http://10.0.0.1:8080"
        config.passbackSecs = 30
        config.passbackQrEnabled = false
    }

    function refreshConfig() { record("refreshConfig") }
    function saveConfig() { record("saveConfig") }
    function enableBarcode() { record("enableBarcode") }
    function disableBarcode() { record("disableBarcode") }
    function enableRfid() { record("enableRfid") }
    function disableRfid() { record("disableRfid") }
}
