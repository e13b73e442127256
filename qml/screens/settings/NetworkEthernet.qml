import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"
import QtQuick.Layouts 1.15

// The Ethernet port as the network service reports it.
Flickable {
    id: root
    objectName: "networkEthernet"

    readonly property var ethernet: network.ethernet
    readonly property var ipv4: ethernet ? ethernet.ipv4 : null

    signal configureRequested()

    contentHeight: column.height + 40
    clip: true

    ColumnLayout {
        id: column
        x: 20
        y: 20
        width: root.width - 40
        spacing: 6

        Label {
            text: "Connection State"
            font.pointSize: 12
            color: Style.accentText
        }
        InfoRow { objectName: "rowEthState"; labelShare: 0.5; rule: "connection"; label: "State"; value: root.ethernet ? root.ethernet.state : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Address"; value: root.ipv4 ? root.ipv4.address : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Netmask"; value: root.ipv4 ? root.ipv4.mask : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 Gateway"; value: root.ipv4 ? root.ipv4.gateway : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 DNS#0"; value: root.ipv4 ? root.ipv4.dns0 : "" }
        InfoRow { labelShare: 0.5; label: "IPv4 DNS#1"; value: root.ipv4 ? root.ipv4.dns1 : "" }
        InfoRow { labelShare: 0.5; label: "MAC"; value: root.ethernet ? root.ethernet.mac : "" }
        InfoRow { labelShare: 0.5; label: "Interface"; value: root.ethernet ? root.ethernet.interface : "" }
        InfoRow { labelShare: 0.5; label: "State Change Reason"; value: root.ethernet ? root.ethernet.reason : "" }

        PageButton {
            objectName: "ethernetConfigure"
            Layout.topMargin: 12
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: (root.width - 40) * 0.8
            Layout.preferredHeight: 60
            highlighted: true
            text: "Configure"
            onClicked: root.configureRequested()
        }
    }
}
