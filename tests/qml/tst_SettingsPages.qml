import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Window 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// The information and settings pages: what they ask of the services while they exist, and
// the colours of their status rows.
Item {
    id: top
    width: 480
    height: 730

    Component { id: displayComponent; Display { anchors.fill: parent } }
    Component { id: regionComponent; Region { anchors.fill: parent } }
    Component { id: audioComponent; Audio { anchors.fill: parent } }
    Component { id: validatorComponent; Validator { anchors.fill: parent } }
    Component { id: generalComponent; NetworkGeneral { anchors.fill: parent } }
    Component { id: ethernetComponent; NetworkEthernet { anchors.fill: parent } }
    Component { id: eventLogComponent; EventLog { anchors.fill: parent } }

    TestCase {
        name: "SettingsPages"
        when: windowShown

        function init() {
            manager.reset()
            board.reset()
            inspector.reset()
            network.reset()
            validatorManager.reset()
            manager.clock.reset()
            eventLogManager.reset()
        }

        function colourOf(name, item) {
            return { green: Material.color(Material.Green), red: Material.color(Material.Red),
                     amber: Material.color(Material.Amber), plain: item.Material.foreground }[name]
        }

        function test_displayMonitorsTheBoardWhileOpen() {
            board.displayBrightnessMode = "manual"
            const page = createTemporaryObject(displayComponent, top)
            // The preset is sent back too, as the board expects it.
            compare(board.calls.slice().sort(), ["monitor(1000)", "setDisplayBrightnessMode(manual)"])
            verify(findChild(page, "brightnessSlider").enabled)
            page.destroy()
            tryVerify(() => board.calls.length === 3)
            compare(board.calls[2], "monitor(0)")
        }

        function test_darkThemeSwitchesTheWindow() {
            const page = createTemporaryObject(displayComponent, top)
            const theme = findChild(page, "darkThemeSwitch")
            verify(theme.checked)
            mouseClick(theme)
            // The window's theme: everything in it follows.
            compare(top.Window.window.Material.theme, Material.Light)
            compare(page.Material.theme, Material.Light)
            mouseClick(theme)
            compare(page.Material.theme, Material.Dark)
            // Not stored: nothing reaches the manager or the board.
            compare(manager.calls, [])
        }

        function test_brightnessSliderOnlyInManual() {
            const page = createTemporaryObject(displayComponent, top)
            compare(findChild(page, "brightnessModeCombo").currentText, "auto")
            verify(!findChild(page, "brightnessSlider").enabled)
        }

        function test_regionPresets_data() {
            return [{ tag: "Greek", language: "el_GR", index: 2 },
                    { tag: "Irish English", language: "en_IE", index: 1 }]
        }

        function test_regionPresets(data) {
            manager.language = data.language
            const page = createTemporaryObject(regionComponent, top)
            compare(manager.clock.calls, ["refresh"])
            compare(findChild(page, "localeCombo").currentIndex, data.index)
            compare(findChild(page, "timezoneCombo").currentText, "Europe/Athens")
        }

        function test_audioPlaysBeforeSettingTheVolume() {
            const page = createTemporaryObject(audioComponent, top)
            const slider = findChild(page, "volumeSlider")
            compare(slider.value, 70)
            mouseClick(slider, slider.width * 0.25, slider.height / 2)
            compare(inspector.calls.length, 2)
            compare(inspector.calls[0], "audioPlay(/opt/orvo/vovadudozad/Valid.wav)")
            verify(inspector.calls[1].indexOf("setAudioVolume(") === 0)
            compare(findChild(page, "volumeText").text, Math.round(slider.value) + "%")
        }

        function test_audioSwitchDisablesTheSlider() {
            board.audioEnabled = false
            const page = createTemporaryObject(audioComponent, top)
            verify(!findChild(page, "volumeSlider").enabled)
        }

        // The reason row takes the status's colour, whatever its own text says.
        function test_validatorStatusColours_data() {
            return [
                { tag: "online", status: "online", reason: "", colour: "green" },
                { tag: "degraded", status: "degraded", reason: "QR reader missing", colour: "amber" },
                { tag: "init", status: "init", reason: "Starting", colour: "amber" },
                { tag: "out-of-service", status: "out-of-service", reason: "No route", colour: "amber" },
                { tag: "offline", status: "offline", reason: "BLM service down", colour: "red" }
            ]
        }

        function test_validatorStatusColours(data) {
            validatorManager.status = data.status
            validatorManager.reason = data.reason
            const page = createTemporaryObject(validatorComponent, top)
            const rows = { rowStatusValue: data.status, rowReasonValue: data.reason }
            for (const name in rows) {
                const value = findChild(page, name)
                compare(value.text, rows[name])
                verify(Qt.colorEqual(value.color, colourOf(data.colour, value)), name)
            }
            compare(findChild(page, "rowProductionValue").text, "2024-03-09")
        }

        function test_networkColours_data() {
            return [
                { tag: "connected", row: "rowConnectionState", value: "Connected", colour: "green" },
                { tag: "disconnected", row: "rowConnectionState", value: "Disconnected", colour: "red" },
                { tag: "connecting", row: "rowConnectionState", value: "Connecting", colour: "amber" },
                { tag: "full", row: "rowConnectivity", value: "Full", colour: "green" },
                { tag: "portal", row: "rowConnectivity", value: "Portal", colour: "amber" },
                { tag: "limited", row: "rowConnectivity", value: "Limited", colour: "amber" },
                { tag: "none", row: "rowConnectivity", value: "None", colour: "red" },
                { tag: "hostname stays plain", row: "rowHostname", value: "Disconnected", colour: "plain" },
                { tag: "ethernet state", row: "rowEthState", value: "Disconnected", colour: "red" }
            ]
        }

        function test_networkColours(data) {
            network.connectionState = data.value
            network.connectivity = data.value
            network.hostname = data.value
            network.ethernet.state = data.value
            const page = createTemporaryObject(data.row === "rowEthState" ? ethernetComponent : generalComponent, top)
            const value = findChild(page, data.row + "Value")
            compare(value.text, data.value)
            verify(Qt.colorEqual(value.color, colourOf(data.colour, value)), String(value.color))
        }

        // Event Log page: the search, severity and period reach the event log as they change,
        // and the rows are the log's model, so an expanded row stays expanded.
        function addEvent(name, when) {
            eventLogManager.model.insert(0, { "name": name, "description": "about " + name, "category": "Board",
                                              "timestamp": when,
                                              "day": Qt.formatDate(when, "yyyy-MM-dd") })
        }

        function test_eventLogStartsFromTheWholeLog() {
            createTemporaryObject(eventLogComponent, top)
            compare(eventLogManager.calls, ["applyFilter()", "applyFilter(0)", "applyFilterPeriod(All history)"])
        }

        function test_eventLogSearchOnEachKeystrokeAndClear() {
            const page = createTemporaryObject(eventLogComponent, top)
            eventLogManager.clear()
            const field = findChild(page, "eventSearchField")
            mouseClick(field)
            for (const key of "ign") {
                // As the on-screen keyboard commits a key (the test's key events reach only the
                // first letter through the keyboard's input context).
                field.insert(field.length, key)
                // Each keystroke filters at once, before the next.
                compare(eventLogManager.calls[eventLogManager.calls.length - 1], "applyFilter(" + field.text + ")")
            }
            compare(eventLogManager.calls, ["applyFilter(i)", "applyFilter(ig)", "applyFilter(ign)"])
            mouseClick(findChild(page, "eventSearchClear"))
            compare(field.text, "")
            compare(eventLogManager.calls[3], "applyFilter()")
            compare(eventLogManager.calls.length, 4)
        }

        function test_eventLogChoices_data() {
            return [{ tag: "period", combo: "eventPeriodCombo", index: 3, call: "applyFilterPeriod(Today)" },
                    { tag: "back to all history", combo: "eventPeriodCombo", index: 0,
                      call: "applyFilterPeriod(All history)" },
                    { tag: "critical", combo: "eventSeverityCombo", index: 0, call: "applyFilter(2)" },
                    { tag: "warning", combo: "eventSeverityCombo", index: 1, call: "applyFilter(1)" },
                    { tag: "all messages", combo: "eventSeverityCombo", index: 2, call: "applyFilter(0)" }]
        }

        function test_eventLogChoices(data) {
            const page = createTemporaryObject(eventLogComponent, top)
            const combo = findChild(page, data.combo)
            if (data.combo === "eventSeverityCombo")
                compare(combo.currentText, "All messages")
            else
                compare(combo.currentText, "All history")
            eventLogManager.clear()
            combo.currentIndex = data.index
            combo.activated(data.index)
            compare(eventLogManager.calls, [data.call])
        }

        function test_eventLogRowsSurviveNewEvents() {
            manager.language = "el_GR"
            addEvent("Ignition on", new Date(2026, 2, 14, 9, 5))
            const page = createTemporaryObject(eventLogComponent, top)
            const list = findChild(page, "eventList")
            tryVerify(() => findChild(list, "eventRow_0") !== null)
            const row = findChild(list, "eventRow_0")
            compare(row.title, "Ignition on")
            // The time in the window's language: a Greek month.
            compare(row.time, new Date(2026, 2, 14, 9, 5).toLocaleString(Qt.locale("el_GR"), "dd-MMM-yy hh:mm"))
            verify(row.time !== new Date(2026, 2, 14, 9, 5).toLocaleString(Qt.locale("en_IE"), "dd-MMM-yy hh:mm"))
            mouseClick(row)
            verify(row.expanded)
            // The audit trail offers no delete.
            verify(!findChild(row, "deleteButton").visible)

            addEvent("Ignition off", new Date(2026, 2, 14, 10, 0))
            compare(list.count, 2)
            tryVerify(() => row.title === "Ignition on" && row.expanded)
            compare(findChild(list, "eventRow_1"), row)
        }
    }
}
