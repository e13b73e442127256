import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The hardware self-test. The checks run for as long as the page exists; FINISH writes the
// report and, when it is saved, shows the results as a QR code and returns to the menu.
Item {
    id: root
    objectName: "diagnosticsPage"

    readonly property var diagnostics: manager.diagnostics
    property bool rgbShown: false
    property bool reportSaved: false

    Component.onCompleted: diagnostics.start()
    Component.onDestruction: diagnostics.stop()

    // Back from the RGB page: ask how it went.
    StackView.onActivated: {
        if (rgbShown) {
            rgbShown = false
            tests.run("rgb")
        }
    }

    Connections {
        target: root.diagnostics
        function onSaveReportFinished(result, message) {
            root.reportSaved = result
            reportPopup.text = message
            reportPopup.qrSource = result ? root.diagnostics.generateQr() : ""
            reportPopup.open()
        }
    }

    // The values scroll; the test buttons stay in reach below them.
    Flickable {
        objectName: "diagnosticsValuesView"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: tests.top
        anchors.bottomMargin: 10
        contentHeight: values.implicitHeight + 20
        clip: true
        // Shown for as long as there is more to see: a cut row alone does not say "scroll".
        ScrollBar.vertical: ScrollBar { policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }

        ColumnLayout {
            width: root.width
            y: 10

            DiagnosticsValues {
                id: values
                diagnostics: root.diagnostics
            }
        }
    }

    DiagnosticsTests {
        id: tests
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        width: root.width * 0.9
        diagnostics: root.diagnostics
        buttonHeight: Math.max(48, root.height * 0.08)
        onRgbRequested: {
            root.rgbShown = true
            root.StackView.view.push(Qt.resolvedUrl("RgbTest.qml"))
        }
        onSerialRequested: serialPopup.open()
        onFinishRequested: root.diagnostics.saveReport()
    }

    SerialPortPopup {
        id: serialPopup
        objectName: "serialPopup"
        diagnostics: root.diagnostics
    }

    ReportPopup {
        id: reportPopup
        objectName: "reportPopup"
        onClosed: {
            if (root.reportSaved)
                root.StackView.view.pop(null)
        }
    }
}
