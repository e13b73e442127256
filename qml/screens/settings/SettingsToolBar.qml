import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"

// The maintenance frame's toolbar: back, the page title, and the options menu.
ToolBar {
    id: root

    property string title: ""
    property bool canGoBack: false

    signal backRequested()
    signal scanConfigRequested()
    // command: "restart", "reboot" or "shutdown"
    signal powerRequested(string command)
    signal logoutRequested()

    implicitHeight: 70
    Accessible.name: title
    // No elevation: the bar's shadow is a GPU effect, and with it the software renderer draws
    // no bar at all.
    Material.elevation: 0
    // The bar stays dark in both themes, like the menu rows below it.
    Material.theme: Material.Dark
    Material.background: "#212121"

    onVisibleChanged: optionsMenu.close()

    ToolButton {
        id: backButton
        objectName: "settingsBack"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: 70
        height: parent.height
        visible: root.canGoBack
        contentItem: Image {
            fillMode: Image.PreserveAspectFit
            sourceSize: Qt.size(60, 60)
            source: Style.symbol(Style.icons + "chevron-left.svg", "white")
        }
        text: "Back"
        Accessible.name: "Back"
        onClicked: root.backRequested()
    }

    Label {
        objectName: "settingsTitle"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 76
        anchors.rightMargin: 76
        anchors.verticalCenter: parent.verticalCenter
        text: root.title
        textFormat: Text.PlainText
        font.pixelSize: 28
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideRight
    }

    ToolButton {
        id: menuButton
        objectName: "settingsMenuButton"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: 70
        height: parent.height
        contentItem: Image {
            fillMode: Image.PreserveAspectFit
            sourceSize: Qt.size(36, 36)
            source: Style.icons + "menu.png"
        }
        text: "Menu"
        Accessible.name: "Menu"
        onClicked: optionsMenu.open()

        Menu {
            id: optionsMenu
            objectName: "settingsOptionsMenu"
            title: "Options"
            x: menuButton.width - width
            y: menuButton.height
            // A plain list: the stock one adds an unnamed scroll indicator for five entries.
            contentItem: ListView {
                implicitHeight: contentHeight
                model: optionsMenu.contentModel
                interactive: false
                clip: true
                currentIndex: optionsMenu.currentIndex
                // The menu's box (its popup item) is what assistive tools see as the menu.
                onParentChanged: if (parent) parent.Accessible.name = optionsMenu.title
            }
            // A plain box: the stock one is drawn with a GPU shadow effect only.
            background: Rectangle {
                implicitWidth: 240
                color: "#424242"
                border.width: 1
                border.color: Style.accent
            }
            MenuItem {
                objectName: "optionScanConfig"
                text: "Scan Config QR"
                Accessible.name: text
                onTriggered: root.scanConfigRequested()
            }
            MenuItem {
                objectName: "optionRestart"
                text: "Restart Application"
                Accessible.name: text
                onTriggered: root.powerRequested("restart")
            }
            MenuItem {
                objectName: "optionReboot"
                text: "Reboot"
                Accessible.name: text
                onTriggered: root.powerRequested("reboot")
            }
            MenuItem {
                objectName: "optionShutdown"
                text: "Shutdown"
                Accessible.name: text
                onTriggered: root.powerRequested("shutdown")
            }
            MenuItem {
                objectName: "optionLogout"
                text: "Logout"
                Accessible.name: text
                onTriggered: root.logoutRequested()
            }
        }
    }
}
