import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"
import QtQuick.Layouts 1.15

// The primary connection as the network service reports it.
Flickable {
    id: root
    objectName: "networkGeneral"

    readonly property var connection: network.primaryConnection
    readonly property var ipv4: connection ? connection.ipv4 : null

    contentHeight: column.height + 40
    clip: true

    ColumnLayout {
        id: column
        x: 20
        y: 20
        width: root.width - 40
        spacing: 6

        Label {
            text: "Primary Connection"
            font.pointSize: 12
            color: Style.accentText
        }
        InfoRow { objectName: "rowConnectionState"; labelShare: 0.5; rule: "connection"; label: "Connection State"; value: network.connectionState }
        InfoRow { objectName: "rowConnectivity"; labelShare: 0.5; rule: "connectivity"; label: "Connectivity"; value: network.connectivity }
        InfoRow { objectName: "rowHostname"; labelShare: 0.5; label: "Hostname"; value: network.hostname }
        InfoRow { labelShare: 0.5; label: "Connection Type"; value: root.connection ? root.connection.type : "" }
        InfoRow { labelShare: 0.5; label: "Interface"; value: root.connection ? root.connection.interface : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Address"; value: root.ipv4 ? root.ipv4.address : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Netmask"; value: root.ipv4 ? root.ipv4.mask : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Gateway"; value: root.ipv4 ? root.ipv4.gateway : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 DNS"; value: root.ipv4 ? root.ipv4.dns0 : "" }
    }
}
