import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"

// The self-test report's answer: the message and, after a successful save, the results as a
// QR code. Phones only read a code that has a light quiet zone of four modules around it, and
// the page is dark: the code sits on a white square with that margin, drawn at a whole number of
// pixels per module so no module blurs. A tap anywhere closes it.
Popup {
    id: root

    property string text: ""
    // An SVG data URI of the code, or empty for none.
    property string qrSource: ""

    // Modules across the SVG, its own one-module border included (from its viewBox).
    readonly property int svgModules: {
        const match = /viewBox="0 0 (\d+) /.exec(qrSource)
        return match ? parseInt(match[1]) : 0
    }
    readonly property int extraModules: 3
    readonly property int modulePixels: svgModules > 0
        ? Math.max(1, Math.floor(340 / (svgModules + 2 * extraModules))) : 0

    // The SVG travels percent-encoded: its colours' "#" would otherwise end the URL.
    function imageUrl(uri) {
        const comma = uri.indexOf(",")
        if (comma < 0)
            return ""
        return "data:image/svg+xml;charset=utf-8," + encodeURIComponent(uri.slice(comma + 1))
    }

    parent: Overlay.overlay
    modal: true
    focus: true
    closePolicy: Popup.CloseOnPressOutside | Popup.CloseOnEscape
    width: 440
    x: (parent.width - width) / 2
    y: (parent.height - height) / 2
    padding: 16

    // Dark in both themes, like the shared message box.
    Material.theme: Material.Dark

    background: Rectangle {
        color: Style.background
        border.width: 1
        border.color: Style.accent
    }

    contentItem: Item {
        implicitHeight: column.implicitHeight

        Column {
            id: column
            width: parent.width
            spacing: 16

            Label {
                objectName: "reportText"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WrapAnywhere
                font.pointSize: 10
                text: root.text
                textFormat: Text.PlainText
            }

            Rectangle {
                objectName: "reportQrFrame"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.qrSource.length > 0 && root.svgModules > 0
                width: (root.svgModules + 2 * root.extraModules) * root.modulePixels
                height: width
                color: "white"

                Image {
                    objectName: "reportQr"
                    anchors.centerIn: parent
                    width: root.svgModules * root.modulePixels
                    height: width
                    sourceSize: Qt.size(width, height)
                    smooth: false
                    source: parent.visible ? root.imageUrl(root.qrSource) : ""
                }
            }
        }

        MouseArea {
            anchors.fill: parent
            Accessible.role: Accessible.Button
            Accessible.name: "Close"
            Accessible.onPressAction: root.close()
            onClicked: root.close()
        }
    }
}
