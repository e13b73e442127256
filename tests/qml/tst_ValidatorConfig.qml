import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// The validator configuration page: Save only while a field differs from the stored value,
// and what Save and Back send.
Item {
    id: top
    width: 480
    height: 730

    Component {
        id: stackComponent
        StackView {
            anchors.fill: parent
            initialItem: Item {}
        }
    }

    TestCase {
        name: "ValidatorConfig"
        when: windowShown

        property var stack
        property var page

        function init() {
            manager.reset()
            validatorManager.reset()
            stack = createTemporaryObject(stackComponent, top)
            stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/ValidatorConfig.qml"), {}, StackView.Immediate)
            page = stack.currentItem
        }

        function control(name) {
            const item = findChild(page, name)
            verify(item, name)
            return item
        }

        function test_saveFollowsDifferences_data() {
            return [
                { tag: "URL", name: "obcUrlField", property: "text", other: "http://10.0.0.9:8080", same: "http://10.0.0.1:8080" },
                { tag: "passback seconds", name: "passbackBox", property: "value", other: 31, same: 30 },
                { tag: "shutdown delay", name: "shutdownDelayBox", property: "value", other: 125, same: 120 },
                { tag: "QR passback", name: "qrPassbackSwitch", property: "checked", other: true, same: false },
                { tag: "error description", name: "errorDescSwitch", property: "checked", other: true, same: false }
            ]
        }

        function test_saveFollowsDifferences(data) {
            const save = control("validatorConfigSave")
            verify(!save.enabled)
            control(data.name)[data.property] = data.other
            verify(save.enabled)
            control(data.name)[data.property] = data.same
            verify(!save.enabled)
        }

        function test_untouchedFieldsFollowTheService() {
            validatorManager.config.passbackSecs = 45
            manager.showErrorDesc = true
            compare(control("passbackBox").value, 45)
            compare(control("errorDescSwitch").checked, true)
            verify(!control("validatorConfigSave").enabled)
        }

        function test_saveWritesEverythingAndLeaves() {
            control("obcUrlField").text = "http://10.0.0.9:8080"
            control("passbackBox").value = 60
            control("shutdownDelayBox").value = 300
            control("qrPassbackSwitch").checked = true
            control("errorDescSwitch").checked = true
            mouseClick(control("validatorConfigSave"))

            const config = validatorManager.config
            compare(String(config.obuUrl), "http://10.0.0.9:8080")
            compare(config.passbackSecs, 60)
            compare(config.passbackQrEnabled, true)
            compare(validatorManager.calls, ["saveConfig"])
            compare(manager.shutdownDelaySec, 300)
            compare(manager.showErrorDesc, true)
            tryCompare(stack, "depth", 1)
        }

        function test_backAsksForTheStoredValues() {
            control("passbackBox").value = 60
            mouseClick(control("validatorConfigBack"))
            compare(validatorManager.calls, ["refreshConfig"])
            compare(validatorManager.config.passbackSecs, 30)
            tryCompare(stack, "depth", 1)
        }

        // The address field holds the on-board computer's password: the program hears that the
        // page is up (no screenshot then) and that it is gone, however it leaves.
        function test_secretShownWhileUp() {
            compare(manager.secretPages, ["validatorConfigPage"])
            mouseClick(control("validatorConfigBack"))
            tryCompare(stack, "depth", 1)
            tryCompare(manager, "secretPages", [])
            stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/ValidatorConfig.qml"), {}, StackView.Immediate)
            compare(manager.secretPages, ["validatorConfigPage"])
            stack.destroy()
            tryCompare(manager, "secretPages", [])
        }

        function test_toolTipOnPressAndHold() {
            const label = control("shutdownDelayLabel")
            verify(!label.tipVisible)
            mousePress(label)
            tryCompare(label, "tipVisible", true, 3000)
            mouseRelease(label)
            verify(label.tipVisible)
            compare(findChild(label, "shutdownDelayLabelTip").text.indexOf("max=900 sec") > 0, true)
        }
    }
}
