import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// The self-test page's popups and pages: the card and ticket readers, the RGB page, the
// report's answer and the serial port settings.
Item {
    id: top
    width: 480
    height: 730

    DiagnosticsCase {
        name: "DiagnosticsPopups"
        host: top

        function test_cardPopup() {
            mouseClick(child("testRfid"))
            const popup = child("testMessage")
            tryCompare(popup, "opened", true)
            compare(popup.text, "Tap a card")
            compare(validatorManager.calls, ["enableRfid"])
            validatorManager.cardDetected("04A1B2", "256")
            compare(popup.text, "CARD DETECTED\n04A1B2\n256")
            compare(diagnostics.cardScan, "OK")
            verify(Qt.colorEqual(child("testRfid").background.color, colourOf("green")))
            validatorManager.cardRemoved()
            compare(popup.text, "Tap a card")
            popup.close()
            tryCompare(validatorManager, "calls", ["enableRfid", "disableRfid"])
        }

        function test_rfidButtonFramedWhileReaderOn() {
            verify(!child("testRfid").highlighted)
            validatorManager.rfid.enabled = true
            verify(child("testRfid").highlighted)
        }

        // A ticket may arrive before the popup has finished opening.
        function test_ticketClosesTheBarcodePopup_data() {
            return [{ tag: "opened", settle: true }, { tag: "still opening", settle: false }]
        }

        function test_ticketClosesTheBarcodePopup(data) {
            mouseClick(child("testBarcode"))
            const popup = child("testMessage")
            if (data.settle)
                tryCompare(popup, "opened", true)
            else
                verify(popup.visible && !popup.opened)
            compare(popup.text, "Scan a barcode")
            validatorManager.ticketValidated({})
            compare(diagnostics.barcodeScan, "OK")
            tryCompare(popup, "visible", false)
            compare(validatorManager.calls, ["enableBarcode", "disableBarcode"])
        }

        function test_readsCountWithoutPopup() {
            validatorManager.cardDetected("04", "1")
            validatorManager.ticketValidated({})
            compare(diagnostics.cardScan, "OK")
            compare(diagnostics.barcodeScan, "OK")
        }

        function test_rgbTakesThreeTaps() {
            mouseClick(child("testRgb"))
            tryCompare(stack, "busy", false)
            const rgb = stack.currentItem
            compare(rgb.objectName, "rgbPage")
            verify(rgb.fullScreen)
            const colours = []
            for (let i = 0; i < 2; ++i) {
                colours.push(String(rgb.color))
                mouseClick(rgb)
            }
            colours.push(String(rgb.color))
            compare(colours, ["#ff0000", "#00ff00", "#0000ff"])
            compare(stack.currentItem, rgb)
            mouseClick(rgb)
            tryCompare(stack, "currentItem", page)
            const dialog = child("testDialog")
            tryCompare(dialog, "opened", true)
            compare(dialog.text, "Was the RGB test successful?")
            mouseClick(findChild(dialog.contentItem, "popupYesButton"))
            compare(diagnostics.rgbTest, "OK")
        }

        function test_report_data() {
            const svg = '<?xml version="1.0" encoding="UTF-8"?><svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
                      + 'viewBox="0 0 23 23" stroke="none"><rect width="100%" height="100%" fill="#FFFFFF"/>'
                      + '<path d="M1,1h1v1h-1z" fill="#000000"/></svg>'
            return [
                { tag: "saved", result: true, message: "Test report saved successfully:\n./TestReport_x.txt",
                  qr: "data:image/svg," + svg, image: true, depthAfter: 1 },
                { tag: "failed", result: false, message: "Could not save Test Report\nERROR: Permission denied",
                  qr: "data:image/svg," + svg, image: false, depthAfter: 2 }
            ]
        }

        function test_report(data) {
            diagnostics.qr = data.qr
            mouseClick(child("testFinish"))
            compare(diagnostics.calls, ["start", "saveReport"])
            diagnostics.saveReportFinished(data.result, data.message)
            const popup = child("reportPopup")
            tryCompare(popup, "opened", true)
            compare(child("reportText").text, data.message)
            const frame = child("reportQrFrame")
            compare(frame.visible, data.image)
            if (data.image) {
                // A white quiet zone of at least four modules around the code (one is in the SVG).
                const qr = child("reportQr")
                tryCompare(qr, "status", Image.Ready)
                const module = qr.width / 23
                verify((frame.width - qr.width) / 2 >= 3 * module)
                compare(Math.round(module), module)
                verify(Qt.colorEqual(frame.color, "white"))
            }
            popup.close()
            tryCompare(stack, "depth", data.depthAfter)
        }

        function test_serialPortSettings() {
            diagnostics.serialPorts = ["NONE", "ttyS0", "ttyUSB0"]
            diagnostics.serialPort = "ttyUSB0"
            diagnostics.serialFlowCtrl = 2
            mouseClick(child("testSerial"))
            const popup = child("serialPopup")
            tryCompare(popup, "opened", true)
            const ports = findChild(popup.contentItem, "serialPortCombo")
            const flow = findChild(popup.contentItem, "serialFlowCombo")
            compare(ports.currentText, "ttyUSB0")
            compare(flow.currentText, "XON/XOFF")
            compare(findChild(popup.contentItem, "serialPortDescription").text, "FT230X Basic UART")

            ports.currentIndex = 1
            flow.currentIndex = 0
            mouseClick(findChild(popup.contentItem, "serialCancel"))
            tryCompare(popup, "visible", false)
            compare(diagnostics.serialPort, "ttyUSB0")
            compare(diagnostics.serialFlowCtrl, 2)

            mouseClick(child("testSerial"))
            tryCompare(popup, "opened", true)
            compare(ports.currentText, "ttyUSB0")
            ports.currentIndex = 1
            flow.currentIndex = 0
            mouseClick(findChild(popup.contentItem, "serialOk"))
            compare(diagnostics.serialPort, "ttyS0")
            compare(diagnostics.serialFlowCtrl, 0)
        }
    }
}
