import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../style"

// The message box and the Yes/No dialog of the whole display. A message closes on a tap
// anywhere or a release outside it; a dialog stays until Yes or No is pressed.
Popup {
    id: root

    signal buttonYesPressed()
    signal buttonNoPressed()

    property bool isDialog: false
    property string text: ""
    property int windowWidth: 400
    // Tall enough for its text (a scanned configuration lists seven settings, an address may
    // wrap over lines), within the window; text that still does not fit ends in an ellipsis.
    property int windowHeight: Math.min(Math.max(imageSource !== "" ? 300 : 200,
                                                 popupText.implicitHeight + 20 + (imageSource !== "" ? imageSize.height + 10 : 0)
                                                 + (isDialog ? 65 : 0)),
                                        Math.max(200, (parent ? parent.height : 800) - 40))
    property string imageSource: ""
    property size imageSize: Qt.size(200, 200)
    // Always empty, like the GUI manager's. Yes and No re-translate because their bindings read
    // manager.dynTr itself, which notifies on every language change; a copy here never changes
    // value, so it alone would not.
    property string dynTr: ""
    readonly property string yesText: dynTr + (typeof manager !== "undefined" && manager ? manager.dynTr : "") + qsTr("Yes")
    readonly property string noText: dynTr + (typeof manager !== "undefined" && manager ? manager.dynTr : "") + qsTr("No")

    component DialogButton: CustomButton {
        width: 100
        height: 40
        radius: 4
        color: Style.accent
        textColor: Style.foreground
        textBold: true
        textPointSize: 16
        textLetterSpacing: 1.2
    }

    function answer(buttonText) {
        if (buttonText === yesText)
            buttonYesPressed();
        else
            buttonNoPressed();
        close();
    }

    modal: true
    focus: true
    closePolicy: isDialog ? Popup.NoAutoClose : Popup.CloseOnReleaseOutside
    padding: 0
    width: windowWidth
    height: windowHeight
    x: parent ? (parent.width - windowWidth) / 2 : 0
    y: parent ? (parent.height - windowHeight) / 2 : 0

    Overlay.modal: Rectangle { color: Style.dim }

    background: Rectangle {
        color: Style.background
        border.width: 1
        border.color: Style.accent
    }

    contentItem: Item {
        objectName: "popupBox"
        // The popup's box is what assistive tools see as the dialog: it is named by its text.
        onParentChanged: if (parent) parent.Accessible.name = Qt.binding(function() { return root.text })

        MouseArea {
            anchors.fill: parent
            enabled: !root.isDialog
            onClicked: root.close()
        }

        Text {
            id: popupText
            objectName: "popupText"
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: image.visible ? image.top : (buttons.visible ? buttons.top : parent.bottom)
            anchors.margins: 10
            text: root.text
            textFormat: Text.PlainText
            color: Style.foreground
            font.family: Style.fontFamily
            font.pointSize: 10
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            clip: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Image {
            id: image
            objectName: "popupImage"
            visible: root.imageSource !== ""
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: buttons.visible ? buttons.top : parent.bottom
            anchors.bottomMargin: 10
            asynchronous: true
            sourceSize: root.imageSize
            source: root.imageSource
        }

        Row {
            id: buttons
            visible: root.isDialog
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 15
            spacing: 60

            DialogButton {
                objectName: "popupYesButton"
                text: root.yesText
                onClicked: root.answer(text)
            }

            DialogButton {
                objectName: "popupNoButton"
                text: root.noText
                onClicked: root.answer(text)
            }
        }
    }
}
