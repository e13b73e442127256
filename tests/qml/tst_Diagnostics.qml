import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15

// The self-test page: the result colours, the manual tests with what they switch on and off,
// the RGB page, and the report's answer.
Item {
    id: top
    width: 480
    height: 730

    Component {
        id: stackComponent
        StackView {
            anchors.fill: parent
            initialItem: Item { objectName: "menuStandIn" }
        }
    }

    TestCase {
        name: "Diagnostics"
        when: windowShown

        property var stack
        property var page
        readonly property var diagnostics: manager.diagnostics

        function init() {
            board.reset()
            inspector.reset()
            validatorManager.reset()
            diagnostics.reset()
            stack = createTemporaryObject(stackComponent, top)
            stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/Diagnostics.qml"), {}, StackView.Immediate)
            page = stack.currentItem
            verify(page)
        }

        // A popup destroyed while open or fading out leaks inside the toolkit: let them close.
        function cleanup() {
            const current = stack.find(item => item.objectName === "diagnosticsPage")
            if (!current)
                return
            for (const name of ["testDialog", "testMessage", "serialPopup", "reportPopup"]) {
                const popup = findChild(current, name)
                popup.close()
                tryCompare(popup, "visible", false)
            }
        }

        function child(name) {
            const item = findChild(page, name)
            verify(item, name)
            return item
        }

        function answer(button, yes) {
            mouseClick(child(button))
            const dialog = child("testDialog")
            tryCompare(dialog, "opened", true)
            mouseClick(findChild(dialog.contentItem, yes ? "popupYesButton" : "popupNoButton"))
            tryCompare(dialog, "visible", false)
        }

        function colourOf(name) {
            return { green: Material.color(Material.Green), red: Material.color(Material.Red),
                     amber: Material.color(Material.Amber), grey: Material.color(Material.Grey) }[name]
        }

        function test_checksFollowThePage() {
            compare(diagnostics.calls, ["start"])
            stack.pop(null, StackView.Immediate)
            tryCompare(diagnostics, "calls", ["start", "stop"])
        }

        function test_colourRule_data() {
            return [
                { tag: "not tested", value: "", colour: "grey" },
                { tag: "OK", value: "OK", colour: "green" },
                { tag: "ERROR", value: "ERROR", colour: "red" },
                { tag: "error with a reason", value: "ERROR (Could not open)", colour: "red" },
                { tag: "ERROR inside", value: "USB ERROR", colour: "red" },
                { tag: "MISSING", value: "MISSING", colour: "amber" },
                { tag: "ok in lower case", value: "ok", colour: "amber" }
            ]
        }

        function test_colourRule(data) {
            diagnostics.rtc = data.value
            diagnostics.buzzer = data.value
            const value = child("diag_rtcValue")
            compare(value.text, data.value)
            verify(Qt.colorEqual(value.color, colourOf(data.colour)), String(value.color))
            verify(Qt.colorEqual(child("testBuzzer").background.color, colourOf(data.colour)))
        }

        function test_buzzerAnswerColoursTheButton_data() {
            return [{ tag: "yes", yes: true, result: "OK", colour: "green" },
                    { tag: "no", yes: false, result: "ERROR", colour: "red" }]
        }

        function test_buzzerAnswerColoursTheButton(data) {
            answer("testBuzzer", data.yes)
            compare(board.calls, ["playBuzzer(100, 200, 3)"])
            compare(diagnostics.buzzer, data.result)
            verify(Qt.colorEqual(child("testBuzzer").background.color, colourOf(data.colour)))
        }

        function test_dialogsSwitchOnAndOff_data() {
            return [
                { tag: "LEDs", button: "testLeds", result: "leds", calls: ["setLedTestPattern", "setLedOff"] },
                { tag: "Sensor", button: "testSensor", result: "lightSensor", calls: ["monitor(2000)", "monitor(0)"] },
                { tag: "Speaker", button: "testSpeaker", result: "speaker", calls: [] }
            ]
        }

        function test_dialogsSwitchOnAndOff(data) {
            answer(data.button, false)
            compare(board.calls, data.calls)
            compare(diagnostics[data.result], "ERROR")
        }

        // The frame pops every page when it is hidden (session expiry, ignition off): a test
        // popup then goes with its page while open and never says closed.
        function test_pageGoneWithTestOpenSwitchesBack_data() {
            return [
                { tag: "LEDs", button: "testLeds", popup: "testDialog", fake: board,
                  calls: ["setLedTestPattern", "setLedOff"] },
                { tag: "Sensor", button: "testSensor", popup: "testDialog", fake: board,
                  calls: ["monitor(2000)", "monitor(0)"] },
                { tag: "RFID", button: "testRfid", popup: "testMessage", fake: validatorManager,
                  calls: ["enableRfid", "disableRfid"] },
                { tag: "Barcode", button: "testBarcode", popup: "testMessage", fake: validatorManager,
                  calls: ["enableBarcode", "disableBarcode"] }
            ]
        }

        function test_pageGoneWithTestOpenSwitchesBack(data) {
            mouseClick(child(data.button))
            tryCompare(child(data.popup), "opened", true)
            compare(data.fake.calls, data.calls.slice(0, 1))
            stack.pop(null, StackView.Immediate)
            tryCompare(diagnostics, "calls", ["start", "stop"])
            compare(data.fake.calls, data.calls)
        }

        function test_speakerPlaysTheValidSound() {
            answer("testSpeaker", true)
            compare(inspector.calls, ["audioPlay(/opt/orvo/vovadudozad/Valid.wav)"])
        }

        function test_sensorQuestionShowsLiveValues() {
            mouseClick(child("testSensor"))
            const dialog = child("testDialog")
            board.displayBrightness = 42
            board.ambientLightSensor = 17
            compare(dialog.text, "Is LCD brightness adjusting?\nBrightness : 42%\nLight Sensor : 17%")
            mouseClick(findChild(dialog.contentItem, "popupYesButton"))
            compare(diagnostics.lightSensor, "OK")
        }

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
