import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// The maintenance frame: menu, page stack, options menu, confirmation and barcode popup.
Item {
    id: top
    width: 480
    height: 800

    Component {
        id: frameComponent
        Main { anchors.fill: parent }
    }

    TestCase {
        name: "SettingsFrame"
        when: windowShown

        property var frame

        function init() {
            manager.reset()
            validatorManager.reset()
            frame = createTemporaryObject(frameComponent, top)
            // The stack sizes its first page, and the rows take their places, on the next polish.
            tryVerify(() => child("menu_eventLog").y > 0)
        }

        // A popup destroyed while open or fading out leaks inside the toolkit: let them close.
        function cleanup() {
            for (const name of ["confirmPopup", "barcodePopup", "settingsOptionsMenu"]) {
                const popup = findChild(frame, name)
                popup.close()
                tryCompare(popup, "visible", false)
            }
        }

        function child(name) {
            const item = findChild(frame, name)
            verify(item, name)
            return item
        }

        function title() {
            return child("settingsTitle").text
        }

        function test_menuRows() {
            const menu = child("settingsMenu")
            const titles = []
            for (let i = 0; i < menu.entries.length; ++i)
                titles.push(child("menu_" + menu.entries[i].name).title)
            compare(titles, ["Validator", "Diagnostics", "Region", "Audio", "Display", "Network", "Update", "Event Log"])
            // All eight fit below the toolbar, each tall enough for a finger.
            const last = child("menu_eventLog")
            verify(last.mapToItem(frame, 0, last.height).y <= frame.height)
            verify(last.height >= 48)
        }

        function test_pageFromMenuAndBack() {
            const stack = child("settingsStack")
            verify(!child("settingsBack").visible)
            compare(title(), "Settings")
            mouseClick(child("menu_update"))
            tryCompare(stack, "busy", false)
            compare(stack.depth, 2)
            compare(title(), "Update")
            verify(child("settingsBack").visible)
            // Only the menu opens pages: a second request while a page is up is ignored.
            frame.changeView("Audio", "Audio.qml")
            compare(stack.depth, 2)
            compare(title(), "Update")
            mouseClick(child("settingsBack"))
            tryCompare(stack, "depth", 1)
            compare(title(), "Settings")
        }

        function test_hidingReturnsToTheMenu() {
            const stack = child("settingsStack")
            frame.changeView("Update", "Update.qml")
            child("barcodePopup").open()
            frame.visible = false
            compare(stack.depth, 1)
            verify(!child("barcodePopup").opened)
            frame.visible = true
            compare(title(), "Settings")
        }

        function test_fullScreenPageHidesTheToolbar() {
            frame.changeView("Diagnostics", "Update.qml")
            const stack = child("settingsStack")
            tryCompare(stack, "busy", false)
            stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/RgbTest.qml"), {}, StackView.Immediate)
            verify(!child("settingsToolBar").visible)
            stack.pop(StackView.Immediate)
            verify(child("settingsToolBar").visible)
        }

        function chooseOption(name) {
            mouseClick(child("settingsMenuButton"))
            // Tap the entry only once the menu has finished opening, as a finger would.
            tryCompare(child("settingsOptionsMenu"), "opened", true)
            mouseClick(child(name))
        }

        function test_powerOptionsAskFirst_data() {
            return [
                { tag: "restart, yes", option: "optionRestart", yes: true, calls: ["exitRequest"] },
                { tag: "reboot, yes", option: "optionReboot", yes: true, calls: ["rebootRequest"] },
                { tag: "shutdown, yes", option: "optionShutdown", yes: true, calls: ["shutdownRequest"] },
                { tag: "reboot, no", option: "optionReboot", yes: false, calls: [] }
            ]
        }

        function test_powerOptionsAskFirst(data) {
            chooseOption(data.option)
            const confirm = child("confirmPopup")
            tryCompare(confirm, "opened", true)
            compare(confirm.text, "Are you sure?")
            compare(manager.calls, [])
            mouseClick(findChild(confirm.contentItem, data.yes ? "popupYesButton" : "popupNoButton"))
            compare(manager.calls, data.calls)
        }

        function test_logout() {
            chooseOption("optionLogout")
            compare(manager.calls, ["settingsLogoutRequest"])
        }

        function test_scanConfigSwitchesTheReaderForThePopup() {
            chooseOption("optionScanConfig")
            const popup = child("barcodePopup")
            tryCompare(popup, "opened", true)
            compare(popup.text, "Scan Configuration QR code")
            compare(validatorManager.calls, ["enableBarcode"])
            popup.close()
            tryCompare(validatorManager, "calls", ["enableBarcode", "disableBarcode"])
        }

        function test_appliedConfigurationIsListed() {
            manager.barcodeConfigurationApplied(["OBC URL : http://10.0.0.1", "Ethernet : auto"])
            const popup = child("barcodePopup")
            tryCompare(popup, "opened", true)
            compare(popup.text, "CONFIGURATION APPLIED\nOBC URL : http://10.0.0.1\nEthernet : auto")
        }
    }
}
