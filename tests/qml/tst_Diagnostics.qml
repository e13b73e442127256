import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// The self-test page: the result colours, and the questions with what they switch on and off.
// The reader popups, the RGB page, the report and the serial settings are in
// tst_DiagnosticsPopups.qml.
Item {
    id: top
    width: 480
    height: 730

    DiagnosticsCase {
        name: "Diagnostics"
        host: top

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
    }
}
