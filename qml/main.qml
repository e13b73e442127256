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
    // A page that shows a picture over the whole window (the display colour test) hides the
    // version text; every other page keeps its controls clear of it.
    readonly property bool wholeWindowPage: {
        for (var i = 0; i < screenRepeater.count; ++i) {
            var loader = screenRepeater.itemAt(i)
            if (loader && loader.visible && loader.item && loader.item.coversWindow === true)
                return true
        }
        return false
    }

    function isInside(item, ancestor) {
        for (var at = item; at; at = at.parent) {
            if (at === ancestor)
                return true
        }
        return false
    }

    // Whether the item takes typed text: only text fields call the keyboard up.
    function takesText(item) {
        return item !== null && item.visible && item.cursorPosition !== undefined && item.readOnly !== true
    }

    // The style's light and dark pairs follow the window's theme.
    Binding {
        target: Style
        property: "dark"
        value: root.Material.theme === Material.Dark
    }

    // Menus, popups and buttons take the focus from a field: the keyboard goes with it.
    onActiveFocusItemChanged: {
        if (!takesText(activeFocusItem))
            Qt.inputMethod.hide()
    }

    // Stacking order only; one screen is visible at a time. The maintenance area (firstUse) is
    // built when a technician first enters it, so the passengers' first frame never waits for it.
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
        { name: "Settings", source: "screens/settings/Main.qml", firstUse: true },
        { name: "Login", source: "screens/settings/Login.qml", firstUse: true }
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
        // The settings frame is built with the granted PIN, before the screen change reaches the
        // window, so a configuration barcode applied at once already finds its popup.
        function onSettingsAccessGranted() {
            for (var i = 0; i < screenRepeater.count; ++i) {
                var loader = screenRepeater.itemAt(i)
                if (loader && loader.objectName === "screen_Settings")
                    loader.wanted = true
            }
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
        // Drawn at its own size: nothing to filter.
        smooth: false
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
        // The screen shown gives way to the keyboard, so its field stays in sight.
        anchors.bottom: keyboard.shown ? keyboard.top : parent.bottom

        Repeater {
            id: screenRepeater
            model: root.screens
            delegate: Loader {
                id: loader
                objectName: "screen_" + modelData.name
                anchors.fill: parent
                asynchronous: false
                source: modelData.source
                visible: root.currentScreen === modelData.name
                // Built at start, or on first use; kept once built.
                property bool wanted: modelData.firstUse !== true
                active: wanted || visible
                // A hidden screen keeps no focus, so its field cannot call the keyboard up.
                onVisibleChanged: {
                    if (visible)
                        wanted = true
                    // Giving the focus to an enclosing scope would hand it back to the field.
                    if (!visible && root.isInside(root.activeFocusItem, loader)) {
                        root.activeFocusItem.focus = false
                        loader.focus = false
                    }
                }

                // The single-animation screens hand over to each other without the controller.
                Connections {
                    target: loader.item
                    ignoreUnknownSignals: true
                    function onShowScreen(name) { root.currentScreen = name }
                }
            }
        }
    }

    // The one keyboard of the window, at the bottom of the screen area; up only while a field
    // has the focus. Fields that want Latin letters (serial number, addresses, search) get the
    // English layout whatever the passengers' language.
    KeyboardPanel {
        id: keyboard
        objectName: "keyboardPanel"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        shown: Qt.inputMethod.visible && root.takesText(root.activeFocusItem)
        language: root.activeFocusItem && (root.activeFocusItem.inputMethodHints & Qt.ImhLatinOnly)
                  ? "en_IE" : manager.language
        // The field has the key too (a field acts on it through its accepted signal).
        onEnterPressed: Qt.inputMethod.hide()
    }

    Text {
        objectName: "versionText"
        // The keyboard and a whole-window page cover the corner; nothing else may.
        visible: !root.wholeWindowPage && !keyboard.visible
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
