import QtQuick 2.15
import "parts"

// Stands in for the network proxy (`network`) with its primary connection and Ethernet port.
CallLog {
    id: root

    property string connectionState: "Connected"
    property string connectivity: "Full"
    property string hostname: "validator-01"
    // The records carry a property named "interface", which a QML object cannot declare.
    property var primaryConnection: ({})
    property var ethernet: ({})

    function reset() {
        clear()
        connectionState = "Connected"
        connectivity = "Full"
        hostname = "validator-01"
        primaryConnection = {
            "type": "ethernet", "interface": "eth0",
            "ipv4": ipv4Component.createObject(root, { address: "10.0.0.5", mask: "255.255.255.0", gateway: "10.0.0.1", dns0: "10.0.0.2" })
        }
        ethernet = {
            "state": "Connected", "mac": "00:11:22:33:44:55", "interface": "eth0", "reason": "None", "method": "auto",
            "ipv4": ipv4Component.createObject(root, { address: "10.0.0.5", mask: "255.255.255.0", gateway: "10.0.0.1", dns0: "10.0.0.2" }),
            "config": ipv4Component.createObject(root),
            "save": function() { root.record("ethernet.save") }
        }
    }

    property Component ipv4Component: Component { FakeIPv4 {} }

    Component.onCompleted: reset()
}
