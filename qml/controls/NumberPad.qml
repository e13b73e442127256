import QtQuick 2.15

// A 4 × 3 key pad for the PIN. Digits emit calcNumberPressed(text), the key at index 9 (the
// left arrow) customLeftPressed(text) and the key at index 11 ("CLR") customRightPressed(text);
// the hosting page decides what they mean.
Item {
    id: root

    signal calcNumberPressed(string text)
    signal customLeftPressed(string text)
    signal customRightPressed(string text)

    property NumberPadStyle style: NumberPadStyle {}
    readonly property var model: style.overrideModel ? style.customModel
                                                     : (style.phoneLayout ? style.phoneModel : style.keypadModel)

    width: style.btnWidth * 3 + style.columnSpacing * 3 - 1
    height: style.btnHeight * 4 + style.rowSpacing * 4 - 1

    // enableAll: every key on and opaque. Otherwise the keys at the given indices, or every
    // key when the list is empty, are switched off and dimmed.
    function controlButtons(enableAll, buttonsToControl) {
        for (var i = 0; i < keys.count; ++i) {
            var key = keys.itemAt(i);
            if (!key)
                continue;
            var affected = enableAll || buttonsToControl.length === 0 || buttonsToControl.indexOf(i) >= 0;
            if (!affected)
                continue;
            key.enabled = enableAll;
            key.opacity = enableAll ? 1.0 : 0.3;
        }
    }

    Grid {
        anchors.centerIn: parent
        columns: 3
        columnSpacing: root.style.columnSpacing
        rowSpacing: root.style.rowSpacing

        Repeater {
            id: keys
            // By count, so a re-translated model relabels the keys in place and keeps the ones
            // controlButtons() switched off.
            model: root.model.length

            CustomButton {
                readonly property bool nonNumber: index === 9 || index === 11

                objectName: "calc_" + text
                width: root.style.btnWidth
                height: root.style.btnHeight
                text: root.model[index]
                flat: true
                radius: root.style.btnRadius
                borderColor: root.style.btnBorderColor
                borderWidth: root.style.btnBorderWidth
                color: nonNumber ? root.style.btnNonNumberColor : root.style.btnColor
                textColor: nonNumber ? root.style.btnNonNumberTextColor : root.style.btnTextColor
                textFamily: root.style.btnTextFamily
                textPointSize: root.style.btnTextSize
                textWeight: root.style.btnTextWeight
                accessibleName: index === 9 ? "Backspace" : text
                onClicked: {
                    if (index === 9)
                        root.customLeftPressed(text);
                    else if (index === 11)
                        root.customRightPressed(text);
                    else
                        root.calcNumberPressed(text);
                }
            }
        }
    }
}
