import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// The Ethernet configuration page: which addresses pass, in which order the fields are
// checked, and what is sent when they pass.
Item {
    id: top
    width: 480
    height: 730

    Component {
        id: fieldComponent
        AddressField {}
    }

    Component {
        id: stackComponent
        StackView {
            anchors.fill: parent
            initialItem: Item {}
        }
    }

    TestCase {
        name: "EthernetConfig"
        when: windowShown

        function init() {
            network.reset()
        }

        function test_addressRule_data() {
            return [
                { tag: "ordinary", text: "192.168.1.10", valid: true },
                { tag: "lowest", text: "0.0.0.0", valid: true },
                { tag: "highest", text: "255.255.255.255", valid: true },
                { tag: "empty (optional field)", text: "", valid: true },
                { tag: "number over 255", text: "192.168.1.256", valid: false },
                { tag: "leading zero", text: "192.168.01.10", valid: false },
                { tag: "three numbers", text: "192.168.1", valid: false },
                { tag: "five numbers", text: "1.2.3.4.5", valid: false },
                { tag: "trailing dot", text: "192.168.1.10.", valid: false },
                { tag: "blank in front", text: " 192.168.1.10", valid: false },
                { tag: "letters", text: "a.b.c.d", valid: false },
                { tag: "no dots", text: "19216811", valid: false }
            ]
        }

        function test_addressRule(data) {
            const field = createTemporaryObject(fieldComponent, top, { text: data.text })
            compare(field.valid, data.valid)
        }

        function test_invalidTurnsRedWhenEditingEnds() {
            const field = createTemporaryObject(fieldComponent, top, { text: "10.0.0.300" })
            const normal = String(field.color)
            field.editingFinished()
            verify(!Qt.colorEqual(field.color, normal))
            field.text = "10.0.0.30"
            field.editingFinished()
            verify(Qt.colorEqual(field.color, normal))
        }

        function open(method) {
            network.ethernet.method = method
            const stack = createTemporaryObject(stackComponent, top)
            stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/EthernetConfig.qml"), {}, StackView.Immediate)
            return stack
        }

        function test_saveChecks_data() {
            const ok = "10.1.2.3"
            const bad = "10.1.2.300"
            // fields: address, netmask, gateway, dns #0, dns #1; error "" means saved
            return [
                { tag: "auto saves whatever the fields hold", method: "auto",
                  fields: ["", "", bad, bad, "x"], error: "" },
                { tag: "manual, all valid", method: "manual",
                  fields: [ok, "255.255.0.0", ok, ok, ok], error: "" },
                { tag: "manual, empty gateway and DNS pass", method: "manual",
                  fields: [ok, "255.255.0.0", "", "", ""], error: "" },
                { tag: "empty address", method: "manual",
                  fields: ["", "255.255.0.0", ok, ok, ok], error: "IPv4 address cannot be empty in 'manual' mode" },
                { tag: "empty address before empty netmask", method: "manual",
                  fields: ["", "", ok, ok, ok], error: "IPv4 address cannot be empty in 'manual' mode" },
                { tag: "empty netmask", method: "manual",
                  fields: [ok, "", ok, ok, ok], error: "IPv4 netmask cannot be empty in 'manual' mode" },
                { tag: "empty netmask before invalid address", method: "manual",
                  fields: [bad, "", ok, ok, ok], error: "IPv4 netmask cannot be empty in 'manual' mode" },
                { tag: "invalid address before invalid netmask", method: "manual",
                  fields: [bad, bad, ok, ok, ok], error: "IPv4 address is not a valid IP address" },
                { tag: "invalid netmask", method: "manual",
                  fields: [ok, bad, bad, bad, bad], error: "IPv4 netmask is not a valid IP address" },
                { tag: "invalid gateway", method: "manual",
                  fields: [ok, ok, bad, bad, bad], error: "IPv4 gateway is not a valid IP address" },
                { tag: "invalid DNS #0", method: "manual",
                  fields: [ok, ok, ok, bad, bad], error: "IPv4 DNS #0 is not a valid IP address" },
                { tag: "invalid DNS #1", method: "manual",
                  fields: [ok, ok, "", "", bad], error: "IPv4 DNS #1 is not a valid IP address" }
            ]
        }

        function test_saveChecks(data) {
            const stack = open(data.method)
            const page = stack.currentItem
            const names = ["ipv4AddressField", "ipv4NetmaskField", "ipv4GatewayField", "dns0Field", "dns1Field"]
            for (let i = 0; i < names.length; ++i) {
                const field = findChild(page, names[i])
                compare(field.enabled, data.method === "manual")
                field.text = data.fields[i]
            }
            mouseClick(findChild(page, "ethernetSave"))

            const config = network.ethernet.config
            if (data.error === "") {
                compare(network.calls, ["ethernet.save"])
                compare([config.address, config.mask, config.gateway, config.dns0, config.dns1], data.fields)
                tryCompare(stack, "depth", 1)
            } else {
                const popup = findChild(page, "ethernetErrorPopup")
                tryCompare(popup, "opened", true)
                compare(popup.text, data.error)
                compare(network.calls, [])
                compare(config.address, "")
                compare(stack.depth, 2)
            }
        }

        function test_backLeavesTheConfigurationAlone() {
            const stack = open("manual")
            findChild(stack.currentItem, "ipv4AddressField").text = "10.9.9.9"
            mouseClick(findChild(stack.currentItem, "ethernetBack"))
            tryCompare(stack, "depth", 1)
            compare(network.calls, [])
            compare(network.ethernet.config.address, "")
        }
    }
}
