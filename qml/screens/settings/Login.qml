import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../controls"
import "../../style"

// The PIN page ("Login"). It only collects digits and shows the answer; the session manager
// checks the PIN and decides about lock-outs.
Item {
    id: root
    objectName: "Login"

    property string input: ""
    readonly property bool dark: Material.theme === Material.Dark
    readonly property bool lockedOut: manager.lockedOut === true

    // The number pad's three handlers: digit, left arrow (backspace) and CLR.
    function calcNumberPressed(text) {
        input += text
    }
    function customLeftPressed(text) {
        if (input.length > 0)
            input = input.slice(0, -1)
    }
    function customRightPressed(text) {
        input = ""
    }

    function reset() {
        shake.stop()
        box.anchors.horizontalCenterOffset = 0
        input = ""
    }

    onVisibleChanged: reset()

    Connections {
        target: manager
        function onSettingsAccessGranted() {
            console.info("[QML] Settings access granted")
            manager.screen = "Settings"
        }
        function onSettingsAccessDenied() {
            console.warn("[QML] Settings access denied")
            root.input = ""
            shake.restart()
        }
    }

    Column {
        id: box
        objectName: "loginBox"
        anchors.centerIn: parent
        spacing: 4

        PinField {
            id: pinField
            objectName: "pinField"
            width: pad.width
            input: root.input
            dark: root.dark
            lockedOut: root.lockedOut
            placeholder: manager.dynTr + qsTr("Pin")
            lockoutText: manager.dynTr + qsTr("Too many wrong PINs\nTry again in %1 s").arg(manager.lockoutRemainingSec)
        }

        NumberPad {
            id: pad
            objectName: "pinPad"
            onCalcNumberPressed: root.calcNumberPressed(text)
            onCustomLeftPressed: root.customLeftPressed(text)
            onCustomRightPressed: root.customRightPressed(text)
        }

        Item { width: 1; height: 1 }

        CustomButton {
            id: loginButton
            objectName: "loginButton"
            width: pad.width
            height: 70
            radius: 4
            enabled: root.input.length > 0
            color: enabled ? Style.accent : "#8f8f8f"
            text: manager.dynTr + qsTr("LOGIN")
            textColor: root.dark ? "black" : "white"
            textFamily: "Arial"
            textPointSize: 24
            textBold: true
            textLetterSpacing: 2.2
            Accessible.role: Accessible.Button
            Accessible.name: text
            onClicked: manager.settingsLoginRequest(root.input)
        }
    }

    SequentialAnimation {
        id: shake
        loops: 2
        NumberAnimation { target: box; property: "anchors.horizontalCenterOffset"; to: 10; duration: 50 }
        NumberAnimation { target: box; property: "anchors.horizontalCenterOffset"; to: -10; duration: 100 }
        NumberAnimation { target: box; property: "anchors.horizontalCenterOffset"; to: 0; duration: 50 }
    }
}
