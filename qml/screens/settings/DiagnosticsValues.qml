import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The self-test values, each coloured by its result.
InfoGroup {
    id: root

    property var diagnostics

    readonly property var rows: [
        ["RTC", "rtc"], ["Ethernet", "ethernet"], ["USB Hub", "usbHub"], ["USB Host", "usbHost"],
        ["FTDI", "ftdi"], ["mPCIe #1", "mPCIe1"], ["Touch", "touch"], ["SD Card", "sdCard"],
        ["Ignition", "ignition"], ["Temperature", "temperature"], ["System Voltage", "voltage"],
        ["RFID (USB)", "rfidUsb"], ["RFID (Service)", "rfidService"], ["Barcode (USB)", "barcodeUsb"],
        ["Barcode (Service)", "barcodeService"], ["SAM", "sam"], ["Board", "boardService"],
        ["Pole ID", "poleId"], ["Serial Port", "serialPortTest"]
    ]

    Repeater {
        model: root.rows
        delegate: InfoRow {
            objectName: "diag_" + modelData[1]
            label: modelData[0]
            labelShare: 0.55
            rule: "diagnostics"
            value: root.diagnostics ? root.diagnostics[modelData[1]] || "" : ""
        }
    }
}
