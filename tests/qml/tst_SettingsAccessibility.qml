import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// Every control a technician can operate on the maintenance pages carries a name for assistive
// tools and UI automation (a control without one reads as an anonymous "button" or "slider").
Item {
    id: top
    width: 480
    height: 800

    Component {
        id: frameComponent
        Main { anchors.fill: parent }
    }

    TestCase {
        name: "SettingsAccessibility"
        when: windowShown

        property var frame

        function init() {
            manager.reset()
            network.reset()
            frame = createTemporaryObject(frameComponent, top)
            tryVerify(() => findChild(frame, "menu_eventLog").y > 0)
        }

        // Controls that take focus are the ones a person operates.
        function unnamedControls(item, found) {
            if (!item.visible)
                return found
            if (item.focusPolicy !== undefined && item.focusPolicy !== Qt.NoFocus && !item.Accessible.name)
                found.push(item.objectName || String(item))
            for (let i = 0; i < item.children.length; ++i)
                unnamedControls(item.children[i], found)
            return found
        }

        function test_everyControlNamed_data() {
            return [
                { tag: "menu", title: "", page: "", subPage: "" },
                { tag: "Validator", title: "Validator", page: "Validator.qml", subPage: "" },
                { tag: "Validator configuration", title: "Validator", page: "Validator.qml", subPage: "ValidatorConfig.qml" },
                { tag: "Diagnostics", title: "Diagnostics", page: "Diagnostics.qml", subPage: "" },
                { tag: "Region", title: "Region", page: "Region.qml", subPage: "" },
                { tag: "Audio", title: "Audio", page: "Audio.qml", subPage: "" },
                { tag: "Display", title: "Display", page: "Display.qml", subPage: "" },
                { tag: "Network", title: "Network", page: "Network.qml", subPage: "" },
                { tag: "Ethernet configuration", title: "Network", page: "Network.qml", subPage: "EthernetConfig.qml" },
                { tag: "Update", title: "Update", page: "Update.qml", subPage: "" },
                { tag: "Event Log", title: "Event Log", page: "EventLog.qml", subPage: "" }
            ]
        }

        function test_everyControlNamed(data) {
            const stack = findChild(frame, "settingsStack")
            if (data.page) {
                frame.changeView(data.title, data.page)
                tryCompare(stack, "busy", false)
            }
            if (data.subPage) {
                stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/" + data.subPage))
                tryCompare(stack, "busy", false)
            }
            compare(unnamedControls(frame, []), [])
            if (data.page) {
                stack.pop(null)
                tryCompare(stack, "busy", false)
            }
        }
    }
}
