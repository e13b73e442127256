import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The PIN pad: key order per layout, what each key emits, and switching keys on and off.
TestCase {
    id: testCase
    name: "NumberPad"
    width: 480
    height: 400
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: padComponent
        NumberPad {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function keysOf(pad) {
        var texts = [];
        for (var i = 0; i < 12; ++i)
            texts.push(pad.model[i]);
        return texts;
    }

    function test_layouts_data() {
        var custom = ["a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"];
        return [
            { tag: "phone", style: {}, keys: ["1", "2", "3", "4", "5", "6", "7", "8", "9", "\u2190", "0", "CLR"] },
            { tag: "keypad", style: { phoneLayout: false },
              keys: ["7", "8", "9", "4", "5", "6", "1", "2", "3", "\u2190", "0", "CLR"] },
            { tag: "custom", style: { overrideModel: true, customModel: custom }, keys: custom },
            { tag: "custom wins over keypad", style: { overrideModel: true, phoneLayout: false, customModel: custom },
              keys: custom },
        ];
    }

    function test_layouts(data) {
        var pad = createTemporaryObject(padComponent, testCase);
        for (var property in data.style)
            pad.style[property] = data.style[property];
        compare(keysOf(pad), data.keys);
        // Keys appear on screen row by row in model order.
        var first = findChild(pad, "calc_" + data.keys[0]);
        var second = findChild(pad, "calc_" + data.keys[1]);
        var fourth = findChild(pad, "calc_" + data.keys[3]);
        tryVerify(function() { return second.x > first.x && second.y === first.y; }, 1000, "second key right of the first");
        tryVerify(function() { return fourth.y > first.y && fourth.x === first.x; }, 1000, "fourth key below the first");
    }

    function test_defaultSize() {
        var pad = createTemporaryObject(padComponent, testCase);
        compare(pad.width, 371);
        compare(pad.height, 307);
    }

    function test_keysEmit_data() {
        return [
            { tag: "digit", key: "calc_7", signalName: "calcNumberPressed", argument: "7" },
            { tag: "zero", key: "calc_0", signalName: "calcNumberPressed", argument: "0" },
            { tag: "left arrow", key: "calc_\u2190", signalName: "customLeftPressed", argument: "\u2190" },
            { tag: "clear", key: "calc_CLR", signalName: "customRightPressed", argument: "CLR" },
        ];
    }

    function test_keysEmit(data) {
        var pad = createTemporaryObject(padComponent, testCase);
        var spies = {};
        ["calcNumberPressed", "customLeftPressed", "customRightPressed"].forEach(function(name) {
            spies[name] = createTemporaryObject(spyComponent, testCase, { target: pad, signalName: name });
        });
        mouseClick(findChild(pad, data.key));
        for (var name in spies)
            compare(spies[name].count, name === data.signalName ? 1 : 0, name);
        compare(spies[data.signalName].signalArguments[0][0], data.argument);
    }

    function test_controlButtons_data() {
        var all = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11];
        return [
            { tag: "disable all", calls: [[false, []]], disabled: all },
            { tag: "disable all then enable all", calls: [[false, []], [true, []]], disabled: [] },
            { tag: "disable some", calls: [[false, [0, 9, 11]]], disabled: [0, 9, 11] },
            { tag: "disabling adds up", calls: [[false, [0]], [false, [5]]], disabled: [0, 5] },
            { tag: "enable all ignores the list", calls: [[false, []], [true, [3]]], disabled: [] },
        ];
    }

    function test_controlButtons(data) {
        var pad = createTemporaryObject(padComponent, testCase);
        var digits = createTemporaryObject(spyComponent, testCase, { target: pad, signalName: "calcNumberPressed" });
        for (var c = 0; c < data.calls.length; ++c)
            pad.controlButtons(data.calls[c][0], data.calls[c][1]);
        for (var i = 0; i < 12; ++i) {
            var key = findChild(pad, "calc_" + pad.model[i]);
            var off = data.disabled.indexOf(i) >= 0;
            compare(key.enabled, !off, "key " + i);
            compare(key.opacity, off ? 0.3 : 1.0, "key " + i);
        }
        // A switched-off digit does not answer.
        digits.clear();
        mouseClick(findChild(pad, "calc_1"));
        compare(digits.count, data.disabled.indexOf(0) >= 0 ? 0 : 1);
    }

    function test_nonNumberKeysStandOut() {
        var pad = createTemporaryObject(padComponent, testCase);
        var digit = findChild(pad, "calc_5");
        var clear = findChild(pad, "calc_CLR");
        verify(!Qt.colorEqual(digit.color, clear.color));
        compare(clear.color, pad.style.btnNonNumberColor);
        compare(digit.Accessible.name, "5");
        compare(findChild(pad, "calc_\u2190").Accessible.name, "Backspace");
    }

    // A language change relabels the keys without undoing controlButtons().
    function test_languageChangeKeepsDisabledKeys() {
        var pad = createTemporaryObject(padComponent, testCase);
        pad.controlButtons(false, [0, 11]);
        var first = findChild(pad, "calc_1");
        manager.dynTrChanged();
        compare(findChild(pad, "calc_1"), first, "the same key, not a new one");
        verify(!findChild(pad, "calc_1").enabled);
        verify(!findChild(pad, "calc_CLR").enabled);
        verify(findChild(pad, "calc_2").enabled);
    }
}
