import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import com.orvo.rules 1.0
import "../../style"

// The self-test report's answer: the message and, after a successful save, the results as a
// QR code on a white square with its quiet zone (ReportQr decides the sizes). A tap anywhere
// closes it.
Popup {
    id: root

    property string text: ""
    // An SVG data URI of the code, or empty for none.
    property string qrSource: ""

    readonly property int svgModules: ReportQr.modules(qrSource)
    readonly property int extraModules: ReportQr.extraModules
    readonly property int modulePixels: ReportQr.modulePixels(svgModules, 340)

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
                    source: parent.visible ? ReportQr.imageUrl(root.qrSource) : ""
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
