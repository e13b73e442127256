import QtQuick 2.15

// Stands in for the network proxy (`network`) with its primary connection and Ethernet port.
CallLog {
    id: root

    property string connectionState: "Connected"
    property string connectivity: "Full"
    property string hostname: "validator-01"
    property QtObject primaryConnection: QtObject {
        property string type: "ethernet"
        property string interface: "eth0"
        property QtObject ipv4: FakeIPv4 {}
    }
    property QtObject ethernet: QtObject {
        property string state: "Connected"
        property string mac: "00:11:22:33:44:55"
        property string interface: "eth0"
        property string reason: "None"
        property string method: "auto"
        property QtObject ipv4: FakeIPv4 {}
        property QtObject config: FakeIPv4 {}
        function save() { root.record("ethernet.save") }
    }

    function reset() {
        clear()
        connectionState = "Connected"
        connectivity = "Full"
        hostname = "validator-01"
        primaryConnection.ipv4.set("10.0.0.5", "255.255.255.0", "10.0.0.1", "10.0.0.2", "")
        ethernet.state = "Connected"
        ethernet.method = "auto"
        ethernet.ipv4.set("10.0.0.5", "255.255.255.0", "10.0.0.1", "10.0.0.2", "")
        ethernet.config.set("", "", "", "", "")
    }
}
