import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "../../style"

// An on/off switch whose track and knob are plain shapes, so its state reads the same in
// every renderer (the stock knob is drawn with a GPU shadow effect).
Switch {
    id: root

    Accessible.name: text

    indicator: Rectangle {
        implicitWidth: 52
        implicitHeight: 28
        x: root.leftPadding + (root.availableWidth - width) / 2
        y: root.topPadding + (root.availableHeight - height) / 2
        radius: height / 2
        color: root.checked ? Qt.darker(Style.accent, 1.6) : "#5a5a5a"
        opacity: root.enabled ? 1.0 : 0.4

        Rectangle {
            width: 24
            height: 24
            radius: 12
            y: 2
            x: root.checked ? parent.width - width - 2 : 2
            color: root.checked ? Style.accent : "#e0e0e0"
            Behavior on x { NumberAnimation { duration: 120 } }
        }
    }
}
