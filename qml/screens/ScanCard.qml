import QtQuick 2.15

// Asks for a card; the button switches to the ticket prompt without asking the controller.
SingleAnimation {
    objectName: "ScanCard"
    signal showScreen(string name)

    framesPath: "qrc:/qml/images/NFC/"
    lastFrame: 6
    prompt: manager.dynTr + qsTr("SCAN\nYOUR CARD")
    buttonName: "scanTicketButton"
    buttonIcon: "qrc:/qml/images/Icons/qr-code.svg"
    buttonText: manager.dynTr + qsTr("SCAN\nTICKET")
    onButtonClicked: showScreen("ScanBarcode")
}
