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

        function test_validatorStatusColours_data() {
            return [
                { tag: "online", value: "online", colour: "green" },
                { tag: "degraded", value: "degraded", colour: "amber" },
                { tag: "init", value: "init", colour: "amber" },
                { tag: "out-of-service", value: "out-of-service", colour: "amber" },
                { tag: "offline", value: "offline", colour: "red" }
            ]
        }

        function test_validatorStatusColours(data) {
            validatorManager.status = data.value
            validatorManager.reason = data.value
            const page = createTemporaryObject(validatorComponent, top)
            for (const name of ["rowStatusValue", "rowReasonValue"]) {
                const value = findChild(page, name)
                compare(value.text, data.value)
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
    }
}
