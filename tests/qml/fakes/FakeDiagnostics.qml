import QtQuick 2.15
import "parts"

// Stands in for the self-test (`manager.diagnostics`). The page writes the manual results
// straight into the properties, as it does on the real object.
CallLog {
    id: root

    readonly property var names: ["rtc", "ethernet", "usbHub", "mPCIe1", "rfidUsb", "barcodeUsb", "ftdi",
        "usbHost", "touch", "sdCard", "buzzer", "leds", "ignition", "temperature", "voltage", "sam", "speaker",
        "barcodeScan", "cardScan", "rfidService", "barcodeService", "boardService", "lightSensor", "rgbTest",
        "poleId", "serialPortTest"]

    property string rtc: ""
    property string ethernet: ""
    property string usbHub: ""
    property string mPCIe1: ""
    property string rfidUsb: ""
    property string barcodeUsb: ""
    property string ftdi: ""
    property string usbHost: ""
    property string touch: ""
    property string sdCard: ""
    property string buzzer: ""
    property string leds: ""
    property string ignition: ""
    property string temperature: ""
    property string voltage: ""
    property string sam: ""
    property string speaker: ""
    property string barcodeScan: ""
    property string cardScan: ""
    property string rfidService: ""
    property string barcodeService: ""
    property string boardService: ""
    property string lightSensor: ""
    property string rgbTest: ""
    property string poleId: ""
    property string serialPortTest: ""
    property var serialPorts: ["NONE"]
    property string serialPort: "NONE"
    property int serialFlowCtrl: 1
    // What generateQr() hands out.
    property string qr: ""

    signal saveReportFinished(bool result, string message)

    function reset() {
        clear()
        for (let i = 0; i < names.length; ++i)
            root[names[i]] = ""
        serialPorts = ["NONE"]
        serialPort = "NONE"
        serialFlowCtrl = 1
        qr = ""
    }

    function start() { record("start") }
    function stop() { record("stop") }
    function saveReport() { record("saveReport") }
    function generateQr() { record("generateQr"); return qr }
    function serialPortDescr(name) { return name === "ttyUSB0" ? "FT230X Basic UART" : "" }
}
