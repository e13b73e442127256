import QtQuick 2.15

// Asks for a ticket; the button switches to the card prompt without asking the controller.
SingleAnimation {
    objectName: "ScanBarcode"
    signal showScreen(string name)

    framesPath: "qrc:/qml/images/Barcode/"
    lastFrame: 8
    prompt: manager.dynTr + qsTr("SCAN YOUR\nTICKET")
    buttonName: "scanCardButton"
    buttonIcon: "qrc:/qml/images/Icons/nfc.svg"
    buttonText: manager.dynTr + qsTr("SCAN\nCARD")
    onButtonClicked: showScreen("ScanCard")
}
