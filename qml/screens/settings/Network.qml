import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The network service's view of the device: the primary connection and the Ethernet port.
Item {
    id: root
    objectName: "networkPage"

    TabBar {
        id: tabs
        objectName: "networkTabs"
        width: parent.width
        currentIndex: swipe.currentIndex
        TabButton { objectName: "tabGeneral"; text: "General"; Accessible.name: text; height: 56 }
        TabButton { objectName: "tabEthernet"; text: "Ethernet"; Accessible.name: text; height: 56 }
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
