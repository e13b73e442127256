import QtQuick 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// The update page: Install only for an update that is ready, and the status colours.
Item {
    id: top
    width: 480
    height: 730

    Component {
        id: pageComponent
        Update { anchors.fill: parent }
    }

    TestCase {
        name: "Update"
        when: windowShown

        property var page

        function init() {
            manager.update.reset()
            page = createTemporaryObject(pageComponent, top)
        }

        function test_statuses_data() {
            return [
                { tag: "Ready to install", status: "Ready to install", install: true, colour: "green" },
                { tag: "Disconnected", status: "Disconnected", install: false, colour: "red" },
                { tag: "Downloading", status: "Downloading", install: false, colour: "amber" },
                { tag: "Installing", status: "Installing", install: false, colour: "amber" },
                { tag: "Up to date", status: "Up to date", install: false, colour: "plain" },
                { tag: "Checking", status: "Checking", install: false, colour: "plain" },
                { tag: "empty", status: "", install: false, colour: "plain" },
                { tag: "other case", status: "ready to install", install: false, colour: "plain" }
            ]
        }

        function test_statuses(data) {
            manager.update.status = data.status
            compare(findChild(page, "updateInstall").enabled, data.install)
            const value = findChild(page, "rowUpdateStatusValue")
            compare(value.text, data.status)
            compare(value.colourName, data.colour)
            const expected = { green: Material.color(Material.Green), red: Material.color(Material.Red),
                               amber: Material.color(Material.Amber), plain: value.Material.foreground }
            verify(Qt.colorEqual(value.color, expected[data.colour]), String(value.color))
        }

        function test_buttonsCallTheService() {
            manager.update.status = "Ready to install"
            mouseClick(findChild(page, "updateCheck"))
            mouseClick(findChild(page, "updateInstall"))
            compare(manager.update.calls, ["check", "install"])
        }

        function test_missingVersionsReadNone() {
            manager.update.current = ""
            manager.update.pending = "1.5.0"
            compare(findChild(page, "rowCurrentValue").text, "None")
            compare(findChild(page, "rowPendingValue").text, "1.5.0")
        }
    }
}
