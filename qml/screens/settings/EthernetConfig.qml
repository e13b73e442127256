import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"
import QtQuick.Layouts 1.15
import "../../controls"

// Addressing of the Ethernet port. In "manual" mode the fields are checked before anything is
// sent, in a fixed order, and the first fault is named; "auto" needs no addresses.
Flickable {
    id: root
    objectName: "ethernetConfigPage"

    readonly property var ethernet: network.ethernet
    readonly property var config: ethernet.config
    readonly property bool manual: modeCombo.currentText === "manual"

    // The first reason not to save, or an empty text.
    function firstError() {
        if (!manual)
            return ""
        if (addressField.text.length === 0)
            return "IPv4 address cannot be empty in 'manual' mode"
        if (maskField.text.length === 0)
            return "IPv4 netmask cannot be empty in 'manual' mode"
        const checks = [
            [addressField, "IPv4 address is not a valid IP address"],
            [maskField, "IPv4 netmask is not a valid IP address"],
            [gatewayField, "IPv4 gateway is not a valid IP address"],
            [dns0Field, "IPv4 DNS #0 is not a valid IP address"],
            [dns1Field, "IPv4 DNS #1 is not a valid IP address"]
        ]
        for (let i = 0; i < checks.length; ++i) {
            if (!checks[i][0].valid)
                return checks[i][1]
        }
        return ""
    }

    function save() {
        Qt.inputMethod.hide()
        const error = firstError()
        if (error.length > 0) {
            errorPopup.text = error
            errorPopup.open()
            return
        }
        config.address = addressField.text
        config.mask = maskField.text
        config.gateway = gatewayField.text
        config.dns0 = dns0Field.text
        config.dns1 = dns1Field.text
        ethernet.save()
        root.StackView.view.pop()
    }

    contentHeight: content.implicitHeight + 40
    clip: true

    ColumnLayout {
        id: content
        x: 20
        y: 20
        width: root.width - 40
        spacing: 10

        Label {
            text: "Ethernet Configuration"
            font.pointSize: 12
            color: Style.accentText
        }

        GridLayout {
            id: grid
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 12
            rowSpacing: 2

            Label { text: "Mode"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            ComboBox {
                id: modeCombo
                objectName: "ethernetModeCombo"
                Accessible.name: "Mode"
                Layout.fillWidth: true
                model: ["auto", "manual"]
                currentIndex: root.ethernet.method === "manual" ? 1 : 0
                onActiveFocusChanged: if (activeFocus) Qt.inputMethod.hide()
                onActivated: root.ethernet.method = currentText
            }

            Label { text: "IPV4 Address"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            AddressField { id: addressField; objectName: "ipv4AddressField"; Accessible.name: "IPV4 Address"; Layout.fillWidth: true; enabled: root.manual; text: root.config.address }
            Label { text: "IPV4 Netmask"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            AddressField { id: maskField; objectName: "ipv4NetmaskField"; Accessible.name: "IPV4 Netmask"; Layout.fillWidth: true; enabled: root.manual; text: root.config.mask }
            Label { text: "IPV4 Gateway"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            AddressField { id: gatewayField; objectName: "ipv4GatewayField"; Accessible.name: "IPV4 Gateway"; Layout.fillWidth: true; enabled: root.manual; text: root.config.gateway }
            Label { text: "DNS #0"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            AddressField { id: dns0Field; objectName: "dns0Field"; Accessible.name: "DNS #0"; Layout.fillWidth: true; enabled: root.manual; text: root.config.dns0 }
            Label { text: "DNS #1"; Layout.preferredWidth: (root.width - 40) * 0.35 }
            AddressField { id: dns1Field; objectName: "dns1Field"; Accessible.name: "DNS #1"; Layout.fillWidth: true; enabled: root.manual; text: root.config.dns1 }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 10
            spacing: 20
            PageButton {
                objectName: "ethernetBack"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                text: "Back"
                onClicked: root.StackView.view.pop()
            }
            PageButton {
                objectName: "ethernetSave"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                highlighted: true
                text: "Save"
                onClicked: root.save()
            }
        }
    }

    CustomPopup {
        id: errorPopup
        objectName: "ethernetErrorPopup"
        // Centred on the window, not on the item that declares it.
        parent: Overlay.overlay
        isDialog: false
    }
}
