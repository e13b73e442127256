import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../controls"
import "../../style"

// The maintenance frame ("Settings"): toolbar, the page stack with the menu as its first page,
// the power confirmation and the configuration-barcode popup. Leaving or entering the frame
// always starts again from the menu, so no page (and no self-test) outlives the visit.
Page {
    id: root
    objectName: "Settings"
    Accessible.name: toolBar.title

    property string pageTitle: ""
    readonly property alias stack: stack
    // A full-screen page (the RGB test) hides the toolbar and covers the whole window.
    readonly property bool coversWindow: stack.currentItem !== null && stack.currentItem.fullScreen === true

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
        visible: !root.coversWindow
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
        // The window's version text has the bottom strip to itself.
        anchors.bottomMargin: root.coversWindow ? 0 : Style.versionStrip
        initialItem: MenuPage {
            objectName: "settingsMenu"
            onPageRequested: root.changeView(title, source)
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
