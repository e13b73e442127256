import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"

// The maintenance frame ("Settings"): toolbar, the page stack with the menu as its first page,
// the power confirmation and the configuration-barcode popup. Leaving or entering the frame
// always starts again from the menu, so no page (and no self-test) outlives the visit.
Page {
    id: root
    objectName: "Settings"
    Accessible.name: toolBar.title

    property string pageTitle: ""
    readonly property alias stack: stack

    // Opens a page from the menu; pages open their own sub-pages on the same stack.
    function changeView(title, source) {
        if (stack.depth !== 1)
            return
        pageTitle = title
        stack.push(Qt.resolvedUrl(source))
    }

    function reset() {
        stack.pop(null)
        confirmPopup.close()
        barcodePopup.close()
        Qt.inputMethod.hide()
    }

    onVisibleChanged: reset()

    header: SettingsToolBar {
        id: toolBar
        objectName: "settingsToolBar"
        // A full-screen page (the RGB test) hides the toolbar while it is shown.
        visible: !(stack.currentItem && stack.currentItem.fullScreen === true)
        title: stack.depth > 1 ? root.pageTitle : "Settings"
        canGoBack: stack.depth > 1
        onBackRequested: {
            stack.pop()
            Qt.inputMethod.hide()
        }
        onScanConfigRequested: {
            barcodePopup.text = "Scan Configuration QR code"
            barcodePopup.open()
        }
        onPowerRequested: {
            confirmPopup.command = command
            confirmPopup.open()
        }
        onLogoutRequested: manager.settingsLogoutRequest()
    }

    StackView {
        id: stack
        objectName: "settingsStack"
        anchors.fill: parent
        anchors.bottomMargin: keyboard.shown ? keyboard.height : 0
        initialItem: MenuPage {
            objectName: "settingsMenu"
            onPageRequested: root.changeView(title, source)
        }
    }

    // Made only while the input method is up: Qt's keyboard panel moves itself to the top of
    // the window and would take taps there even while hidden.
    Loader {
        id: keyboard
        objectName: "settingsKeyboard"
        readonly property bool shown: Qt.inputMethod.visible
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 250
        active: shown
        sourceComponent: KeyboardPanel {
            language: manager.language
            onEnterPressed: Qt.inputMethod.hide()
        }
    }

    CustomPopup {
        id: confirmPopup
        objectName: "confirmPopup"
        property string command: ""
        isDialog: true
        text: manager.dynTr + qsTr("Are you sure?")
        onButtonYesPressed: {
            if (command === "reboot")
                manager.rebootRequest()
            else if (command === "shutdown")
                manager.shutdownRequest()
            else if (command === "restart")
                manager.exitRequest()
        }
    }

    CustomPopup {
        id: barcodePopup
        objectName: "barcodePopup"
        isDialog: false
        onOpened: validatorManager.enableBarcode()
        onClosed: validatorManager.disableBarcode()
    }

    Connections {
        target: manager
        function onBarcodeConfigurationApplied(configList) {
            barcodePopup.text = "CONFIGURATION APPLIED\n" + configList.join("\n")
            barcodePopup.open()
        }
    }
}
