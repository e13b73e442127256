import QtQuick 2.15
import QtQuick.Controls 2.15
import "../controls"
import "../style"

// First start on a new unit: the technician types the serial number printed on the housing.
// Nothing is saved until the number has the right form and the technician confirms it.
Item {
    id: root
    objectName: "InitPage"

    readonly property bool serialValid: isValidSerial(serialField.text)

    // The page has one job: whoever sees it can type at once.
    onVisibleChanged: {
        if (visible)
            serialField.forceActiveFocus()
    }

    // One capital C or K followed by eight digits.
    function isValidSerial(text) { return /^[CK][0-9]{8}$/.test(text) }

    // SAVE and the keyboard's Enter both come here; neither gets past an invalid number.
    function askConfirmation() {
        if (!serialValid)
            return
        Qt.inputMethod.hide()
        confirmDialog.text = manager.dynTr + qsTr("Please confirm the serial number") + "\n\n" + serialField.text
        confirmDialog.open()
    }

    Flickable {
        id: flickable
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        // The window shrinks the screen above its keyboard; the form scrolls if it no longer fits.
        anchors.bottom: parent.bottom
        contentHeight: Math.max(height, form.implicitHeight)
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        Column {
            id: form
            width: 350
            spacing: 20
            anchors.horizontalCenter: parent.horizontalCenter
            y: Math.max(0, (flickable.height - implicitHeight) / 2)

            Label {
                objectName: "serialTitle"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                font.bold: true
                font.pointSize: 16
                text: manager.dynTr + qsTr("Enter Serial Number")
            }

            TextField {
                id: serialField
                objectName: "serialField"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                font.pointSize: 18
                placeholderText: "K00000000"
                text: manager.deviceId
                // Latin capitals and digits whatever the passengers' language: a Greek capital
                // kappa looks like K but is no serial number.
                inputMethodHints: Qt.ImhNoPredictiveText | Qt.ImhUppercaseOnly | Qt.ImhLatinOnly
                Accessible.name: manager.dynTr + qsTr("Serial number")
                onAccepted: root.askConfirmation()
                onActiveFocusChanged: {
                    if (!activeFocus)
                        Qt.inputMethod.hide()
                }
            }

            Label {
                objectName: "serialHint"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                color: Style.errorOnPicture
                visible: !root.serialValid
                text: manager.dynTr + qsTr("Must start with 'C' or 'K' followed by 8 digits")
            }

            Button {
                objectName: "saveButton"
                width: 300
                height: 60
                anchors.horizontalCenter: parent.horizontalCenter
                enabled: root.serialValid
                font.pointSize: 14
                text: manager.dynTr + qsTr("SAVE")
                Accessible.role: Accessible.Button
                Accessible.name: text
                onClicked: root.askConfirmation()
            }
        }
    }

    CustomPopup {
        id: confirmDialog
        objectName: "confirmDialog"
        isDialog: true
        dynTr: manager.dynTr
        onButtonYesPressed: manager.saveDeviceIdRequest(serialField.text)
    }
}
