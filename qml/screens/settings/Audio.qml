import QtQuick 2.15
import com.orvo.rules 1.0
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Speaker on/off and volume. A new volume is heard at once: the valid sound plays, then the
// volume request goes out.
Item {
    id: root
    objectName: "audioPage"

    readonly property string sound: Sounds.valid

    ColumnLayout {
        x: 20
        y: 20
        width: root.width - 40
        spacing: 16

        RowLayout {
            Layout.fillWidth: true
            Label { text: "Audio Enabled"; Layout.fillWidth: true; font.pixelSize: 18 }
            SettingSwitch {
                id: audioSwitch
                objectName: "audioSwitch"
                Accessible.name: "Audio Enabled"
                checked: board.audioEnabled
                onToggled: board.setAudioEnabled(checked)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Label { text: "Audio Volume"; Layout.fillWidth: true; font.pixelSize: 18 }
            Label {
                objectName: "volumeText"
                font.pixelSize: 18
                font.bold: true
                text: Math.round(volumeSlider.value) + "%"
                textFormat: Text.PlainText
            }
        }

        Slider {
            id: volumeSlider
            objectName: "volumeSlider"
            Accessible.name: "Audio Volume"
            Layout.fillWidth: true
            Layout.preferredHeight: 60
            from: 0
            to: 100
            stepSize: 1
            enabled: audioSwitch.checked
            value: inspector.audioVolume
            ToolTip.visible: pressed
            ToolTip.text: Math.round(value) + "%"
            onPressedChanged: {
                if (pressed)
                    return
                inspector.audioPlay(root.sound)
                inspector.setAudioVolume(Math.round(value))
            }
        }
    }
}
