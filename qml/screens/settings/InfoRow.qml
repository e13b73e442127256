import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One "label: value" line of an information page. The value is right-aligned and may be
// coloured by a status rule (see StatusLabel).
Item {
    id: root

    property alias label: labelText.text
    property alias value: valueText.text
    property alias rule: valueText.rule
    // The value the colour follows, when not the row's own value.
    property alias colourSource: valueText.source
    // Share of the width the label takes.
    property real labelShare: 0.3
    property alias valueItem: valueText

    Layout.fillWidth: true
    implicitHeight: Math.max(labelText.implicitHeight, valueText.implicitHeight) + 4

    Label {
        id: labelText
        textFormat: Text.PlainText
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: root.width * root.labelShare
        elide: Text.ElideRight
        font.pixelSize: 16
        opacity: 0.8
    }

    StatusLabel {
        id: valueText
        objectName: root.objectName ? root.objectName + "Value" : ""
        anchors.left: labelText.right
        anchors.leftMargin: 8
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        horizontalAlignment: Text.AlignRight
        // Long values (a vehicle's id) wrap rather than lose characters.
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        font.pixelSize: 16
        font.bold: true
    }
}
