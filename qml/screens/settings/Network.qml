import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "../../style"

// The network service's view of the device: the primary connection and the Ethernet port.
Item {
    id: root
    objectName: "networkPage"

    TabBar {
        id: tabs
        objectName: "networkTabs"
        width: parent.width
        currentIndex: swipe.currentIndex
        // The current tab's label and underline are text in the accent colour.
        Material.accent: Style.accentText
        // The bar is as tall as its tabs: taller tabs would stand out above it, under the toolbar.
        contentHeight: 56
        TabButton { objectName: "tabGeneral"; text: "General"; Accessible.name: text }
        TabButton { objectName: "tabEthernet"; text: "Ethernet"; Accessible.name: text }
    }

    SwipeView {
        id: swipe
        objectName: "networkSwipe"
        Accessible.name: "Network pages"
        anchors.top: tabs.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        currentIndex: tabs.currentIndex
        clip: true

        NetworkGeneral {}
        NetworkEthernet {
            onConfigureRequested: root.StackView.view.push(Qt.resolvedUrl("EthernetConfig.qml"))
        }
    }
}
