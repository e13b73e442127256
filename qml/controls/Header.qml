import QtQuick 2.15
import "../style"

// The passenger header: the language flag on the left, the clock on the right. It takes the
// current language as a value and asks for the other one; the window owns the switch.
Rectangle {
    id: root

    // Emitted by the clock's hidden gesture.
    signal magicButtonPressed()
    // The flag was pressed: the language the passenger asks for.
    signal languageRequested(string language)

    property string language: ""

    width: parent ? parent.width : Style.screenWidth
    height: Style.headerHeight
    color: "transparent"

    RoundButton {
        id: flag
        objectName: "languageButton"
        anchors.left: parent.left
        anchors.leftMargin: 30
        anchors.verticalCenter: parent.verticalCenter
        radius: 35
        iconSize: 100
        pngImage: true
        // Named by the language it switches to, in that language.
        accessibleName: root.language === "el_GR" ? "English" : "Ελληνικά"
        icon: Style.flags + (root.language === "el_GR" ? "uk.png" : "gr.png")
        onClicked: root.languageRequested(root.language === "el_GR" ? "en_IE" : "el_GR")
    }

    Clock {
        id: clock
        objectName: "clock"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        language: root.language
        dateFormat: "dd-MMM-yyyy"
        timeFormat: "hh:mm"
        // The header lies on the background picture, which is dark in both themes.
        textColor: Style.onPicture
        onClicked: console.log("[QML] Clock tapped.")
        onPressAndHold: root.magicButtonPressed()
    }
}
