import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Software update: what runs, what waits, and the progress of a download or install.
Item {
    id: root
    objectName: "updatePage"

    readonly property var update: manager.update

    ColumnLayout {
        x: 20
        y: 20
        width: root.width - 40
        spacing: 12

        InfoRow { objectName: "rowUpdateStatus"; label: "Status"; rule: "update"; value: root.update.status }
        InfoRow { objectName: "rowCurrent"; label: "Current Version"; value: root.update.current || "None" }
        InfoRow { objectName: "rowPending"; label: "Pending Version"; value: root.update.pending || "None" }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Label { text: "Progress"; Layout.preferredWidth: (root.width - 40) * 0.3; font.pixelSize: 16; opacity: 0.8 }
            ProgressBar {
                objectName: "updateProgress"
                Layout.fillWidth: true
                from: 0
                to: 100
                value: root.update.progressPercent
            }
        }
        Label {
            objectName: "updateProgressMessage"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignRight
            wrapMode: Text.WordWrap
            text: root.update.progressMessage
            textFormat: Text.PlainText
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 20
            spacing: 20
            PageButton {
                objectName: "updateCheck"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                text: "Check"
                onClicked: root.update.check()
            }
            PageButton {
                objectName: "updateInstall"
                Layout.fillWidth: true
                Layout.preferredHeight: 60
                highlighted: true
                text: "Install"
                enabled: root.update.status === "Ready to install"
                onClicked: root.update.install()
            }
        }
    }
}
