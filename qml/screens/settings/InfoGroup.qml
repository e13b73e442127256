import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A titled box of InfoRows, 80 % of the page wide.
GroupBox {
    id: root

    default property alias content: column.data

    Layout.alignment: Qt.AlignHCenter
    Layout.preferredWidth: parent ? parent.width * 0.8 : implicitWidth
    font.pixelSize: 16

    ColumnLayout {
        id: column
        width: parent.width
        spacing: 4
    }
}
