import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import "../../style"

// Which serial port the loop-back test uses, and its flow control.
Popup {
    id: root

    property var diagnostics
    readonly property var flowControls: ["NONE", "RTS/CTS", "XON/XOFF"]

    function preset() {
        const index = diagnostics.serialPorts.indexOf(diagnostics.serialPort)
        if (index >= 0)
            portCombo.currentIndex = index
        flowCombo.currentIndex = diagnostics.serialFlowCtrl
    }

    parent: Overlay.overlay
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    width: Math.min(parent.width, parent.height) * 2 / 3
    x: (parent.width - width) / 2
    y: parent.height / 6
    padding: 20

    onAboutToShow: preset()

    // Dark in both themes, like the shared message box.
    Material.theme: Material.Dark

    background: Rectangle {
        color: Style.background
        border.width: 1
        border.color: Style.accent
    }

    Connections {
        target: root.diagnostics
        function onSerialPortsChanged() { root.preset() }
    }

    ColumnLayout {
        width: parent.width
        spacing: 16

        Label {
            text: "Serial Port Settings"
            font.bold: true
            Layout.alignment: Qt.AlignHCenter
        }
        Label { text: "Serial Port:" }
        ComboBox {
            id: portCombo
            objectName: "serialPortCombo"
            Accessible.name: "Serial Port"
            Layout.fillWidth: true
            model: root.diagnostics ? root.diagnostics.serialPorts : []
        }
        Label { text: "Flow Ctrl:" }
        ComboBox {
            id: flowCombo
            objectName: "serialFlowCombo"
            Accessible.name: "Flow Ctrl"
            Layout.fillWidth: true
            model: root.flowControls
        }
        Label {
            objectName: "serialPortDescription"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: root.diagnostics ? root.diagnostics.serialPortDescr(portCombo.currentText) : ""
            textFormat: Text.PlainText
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            PageButton {
                objectName: "serialOk"
                Layout.fillWidth: true
                text: "Ok"
                onClicked: {
                    root.diagnostics.serialPort = portCombo.currentText
                    root.diagnostics.serialFlowCtrl = flowCombo.currentIndex
                    root.close()
                }
            }
            PageButton {
                objectName: "serialCancel"
                Layout.fillWidth: true
                text: "Cancel"
                onClicked: {
                    root.preset()
                    root.close()
                }
            }
        }
    }
}
