import QtQuick 2.15
import com.orvo.rules 1.0
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "../../controls"

// The manual self-tests: a grid of buttons coloured by their results, and the question or
// instruction each one puts up. What a test switches on when its popup opens it switches off
// when the popup closes. The card and barcode results are taken whenever a card or a ticket
// is read while the page exists, popup open or not. What is still on when the page goes is
// switched off then.
GridLayout {
    id: root

    property var diagnostics
    property real buttonHeight: 56
    property string cardText: "Tap a card"
    property var current: null
    readonly property string sound: Sounds.valid

    signal rgbRequested()
    signal serialRequested()
    signal finishRequested()

    readonly property var tests: ({
        "buzzer": { result: "buzzer", dialog: true, text: () => "Can you hear the buzzer?",
                    open: () => board.playBuzzer(100, 200, 3) },
        "leds": { result: "leds", dialog: true, text: () => "Can you see the LEDs flashing?",
                  open: () => board.setLedTestPattern(), close: () => board.setLedOff() },
        "rfid": { result: "cardScan", dialog: false, text: () => root.cardText,
                  open: () => { root.cardText = "Tap a card"; validatorManager.enableRfid() },
                  close: () => validatorManager.disableRfid() },
        "barcode": { result: "barcodeScan", dialog: false, text: () => "Scan a barcode",
                     open: () => validatorManager.enableBarcode(), close: () => validatorManager.disableBarcode() },
        "speaker": { result: "speaker", dialog: true, text: () => "Can you hear the internal speaker?",
                     open: () => inspector.audioPlay(root.sound) },
        "sensor": { result: "lightSensor", dialog: true,
                    text: () => "Is LCD brightness adjusting?" + "\nBrightness : " + board.displayBrightness + "%"
                                + "\nLight Sensor : " + board.ambientLightSensor + "%",
                    open: () => board.monitor(2000), close: () => board.monitor(0) },
        "rgb": { result: "rgbTest", dialog: true, text: () => "Was the RGB test successful?" }
    })

    function tr(text) {
        return manager.dynTr + qsTranslate("Diagnostics", text)
    }

    // Puts up the popup of one test and starts what it needs.
    function run(name) {
        const test = tests[name]
        current = test
        if (test.open)
            test.open()
        if (test.dialog)
            dialog.open()
        else
            message.open()
    }

    function answer(ok) {
        if (current)
            diagnostics[current.result] = ok ? "OK" : "ERROR"
    }

    function finishCurrent() {
        const test = current
        current = null
        if (test && test.close)
            test.close()
    }

    // A popup that goes with the page while open (the frame pops every page at the session's
    // end or when the ignition goes off) never says closed: switch back here as well.
    Component.onDestruction: finishCurrent()

    columns: 3
    columnSpacing: 8
    rowSpacing: 8

    TestButton { objectName: "testBuzzer"; text: root.tr("Buzzer"); result: root.diagnostics.buzzer; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.run("buzzer") }
    TestButton { objectName: "testLeds"; text: root.tr("LEDs"); result: root.diagnostics.leds; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.run("leds") }
    TestButton {
        objectName: "testRfid"
        text: root.tr("RFID")
        result: root.diagnostics.cardScan
        highlighted: validatorManager.rfid.enabled
        Layout.fillWidth: true
        Layout.preferredHeight: root.buttonHeight
        onClicked: root.run("rfid")
    }
    TestButton { objectName: "testBarcode"; text: root.tr("Barcode"); result: root.diagnostics.barcodeScan; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.run("barcode") }
    TestButton { objectName: "testSpeaker"; text: root.tr("Speaker"); result: root.diagnostics.speaker; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.run("speaker") }
    TestButton { objectName: "testSensor"; text: root.tr("Sensor"); result: root.diagnostics.lightSensor; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.run("sensor") }
    TestButton { objectName: "testRgb"; text: root.tr("RGB"); result: root.diagnostics.rgbTest; Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.rgbRequested() }
    TestButton { objectName: "testSerial"; text: root.tr("Serial"); Layout.fillWidth: true; Layout.preferredHeight: root.buttonHeight; onClicked: root.serialRequested() }
    TestButton {
        objectName: "testFinish"
        text: root.tr("FINISH")
        highlighted: true
        fill: Material.accent
        Layout.fillWidth: true
        Layout.preferredHeight: root.buttonHeight
        onClicked: root.finishRequested()
    }

    CustomPopup {
        id: dialog
        objectName: "testDialog"
        // Centred on the window, not on the item that declares it.
        parent: Overlay.overlay
        isDialog: true
        text: root.current && root.current.dialog ? root.current.text() : ""
        onButtonYesPressed: root.answer(true)
        onButtonNoPressed: root.answer(false)
        onClosed: root.finishCurrent()
    }

    CustomPopup {
        id: message
        objectName: "testMessage"
        // Centred on the window, not on the item that declares it.
        parent: Overlay.overlay
        isDialog: false
        text: root.current && !root.current.dialog ? root.current.text() : ""
        onClosed: root.finishCurrent()
    }

    Connections {
        target: validatorManager
        function onCardDetected(uid, type) {
            root.cardText = "CARD DETECTED\n%1\n%2".arg(uid).arg(type)
            root.diagnostics.cardScan = "OK"
        }
        function onCardRemoved() {
            root.cardText = "Tap a card"
        }
        function onTicketValidated(transaction) {
            root.diagnostics.barcodeScan = "OK"
            if (message.visible && root.current === root.tests.barcode)
                message.close()
        }
    }
}
