import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "controls"
import "style"

// The passenger display. It decides nothing: it shows the screen the controller names, in the
// controller's language, and forwards the header's hidden gesture.
ApplicationWindow {
    id: root
    objectName: "mainWindow"
    title: "Validator"
    x: 0
    y: -1
    width: Style.screenWidth
    height: Style.screenHeight
    visible: true
    font.family: Style.fontFamily

    property string currentScreen: "Busy"
    readonly property bool headerVisible: currentScreen !== "Settings" && currentScreen !== "ScreenSaver"

    // Stacking order only; one screen is visible at a time.
    readonly property var screens: [
        { name: "InitPage", source: "screens/InitPage.qml" },
        { name: "Busy", source: "screens/Busy.qml" },
        { name: "ScanCard", source: "screens/ScanCard.qml" },
        { name: "ScanBarcode", source: "screens/ScanBarcode.qml" },
        { name: "ScanScreens", source: "screens/ScanScreens.qml" },
        { name: "Valid", source: "screens/Valid.qml" },
        { name: "Invalid", source: "screens/Invalid.qml" },
        { name: "AlreadyValid", source: "screens/AlreadyValid.qml" },
        { name: "Retry", source: "screens/Retry.qml" },
        { name: "OutOfOrder", source: "screens/OutOfOrder.qml" },
        { name: "OutOfService", source: "screens/OutOfService.qml" },
        { name: "ScreenSaver", source: "screens/ScreenSaver.qml" },
        { name: "Settings", source: "screens/settings/Main.qml" },
        { name: "Login", source: "screens/settings/Login.qml" }
    ]

    Connections {
        target: manager
        function onScreenChanged() {
            console.info("[QML] Screen changed : " + manager.screen)
            root.currentScreen = manager.screen
        }
        function onLanguageChanged() {
            root.locale = Qt.locale(manager.language)
        }
        function onErrorOccured(error) {
            console.info("[QML] Error occured : " + error)
            errorPopup.text = error
            errorPopup.open()
        }
    }

    Image {
        objectName: "background"
        anchors.fill: parent
        source: "qrc:/qml/images/background.png"
        fillMode: Image.Stretch
    }

    Header {
        id: header
        objectName: "header"
        width: parent.width
        height: Style.headerHeight
        visible: root.headerVisible
        language: manager.language
        onLanguageRequested: manager.language = language
        onMagicButtonPressed: manager.setMaintenanceScreen()
    }

    Item {
        id: screenArea
        objectName: "screenArea"
        anchors.top: root.headerVisible ? header.bottom : parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom

        Repeater {
            model: root.screens
            delegate: Loader {
                id: loader
                objectName: "screen_" + modelData.name
                anchors.fill: parent
                asynchronous: false
                source: modelData.source
                visible: root.currentScreen === modelData.name

                // The single-animation screens hand over to each other without the controller.
                Connections {
                    target: loader.item
                    ignoreUnknownSignals: true
                    function onShowScreen(name) { root.currentScreen = name }
                }
            }
        }
    }

    Text {
        objectName: "versionText"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        font.pixelSize: 12
        color: Material.color(Material.Grey, Material.Shade700)
        text: "v" + Qt.application.version
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    CustomPopup {
        id: errorPopup
        objectName: "errorPopup"
        isDialog: false
        dynTr: manager.dynTr
    }

    // Takes no input: it only decides whether the pointer is drawn.
    MouseArea {
        objectName: "cursorArea"
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: manager.showCursor ? Qt.ArrowCursor : Qt.BlankCursor
    }
}
