import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The button's press feedback: signals in order, the ripple from the press point, the shrink.
TestCase {
    id: testCase
    name: "CustomButton"
    width: 480
    height: 400
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: buttonComponent
        CustomButton {
            width: 200
            height: 80
            text: "SAVE"
        }
    }

    function test_signalsInOrder() {
        var button = createTemporaryObject(buttonComponent, testCase);
        var seen = [];
        button.pressed.connect(function() { seen.push("pressed:" + button.isPressed); });
        button.released.connect(function() { seen.push("released"); });
        button.clicked.connect(function() { seen.push("clicked"); });
        mousePress(button, 20, 20);
        verify(button.isPressed);
        mouseRelease(button, 20, 20);
        verify(!button.isPressed);
        compare(seen, ["pressed:true", "released", "clicked"]);
    }

    function test_releaseOutsideIsNoClick() {
        var button = createTemporaryObject(buttonComponent, testCase);
        var clicks = 0;
        button.clicked.connect(function() { clicks += 1; });
        mousePress(button, 20, 20);
        mouseMove(button, 300, 300);
        mouseRelease(button, 300, 300);
        compare(clicks, 0);
    }

    function test_disabledButtonDoesNotAnswer() {
        var button = createTemporaryObject(buttonComponent, testCase, { enabled: false });
        var clicks = 0;
        button.clicked.connect(function() { clicks += 1; });
        mouseClick(button);
        compare(clicks, 0);
    }

    function test_ripple_data() {
        return [
            { tag: "from the press point", enabled: true, x: 30, y: 50, border: 0 },
            { tag: "inside the border", enabled: true, x: 30, y: 50, border: 10 },
            { tag: "switched off", enabled: false, x: 30, y: 50, border: 0 },
        ];
    }

    function test_ripple(data) {
        var button = createTemporaryObject(buttonComponent, testCase,
                                           { fillAnimationEnabled: data.enabled, borderWidth: data.border });
        var ripple = findChild(button, "ripple");
        mousePress(button, data.x, data.y);
        compare(ripple.visible, data.enabled);
        if (data.enabled) {
            // Centred where the finger is, in the area inside the border.
            compare(ripple.centerX, data.x - data.border);
            compare(ripple.centerY, data.y - data.border);
            // It grows to three times the larger side, then goes away.
            tryVerify(function() { return ripple.width === 600 || !ripple.visible; });
            tryCompare(ripple, "visible", false);
        }
        mouseRelease(button, data.x, data.y);
    }

    function test_shrinksWhilePressedWhenAsked_data() {
        return [
            { tag: "off by default", properties: {}, pressedScale: 1.0 },
            { tag: "on", properties: { scaleAnimationEnabled: true }, pressedScale: 0.9 },
            { tag: "own factor", properties: { scaleAnimationEnabled: true, scaleAnimation: 0.75 }, pressedScale: 0.75 },
        ];
    }

    function test_shrinksWhilePressedWhenAsked(data) {
        var button = createTemporaryObject(buttonComponent, testCase, data.properties);
        var label = findChild(button, "label");
        mousePress(button);
        compare(label.parent.scale, data.pressedScale);
        mouseRelease(button);
        compare(label.parent.scale, 1.0);
    }

    function test_iconTakesAThirdOfTheWidth() {
        var button = createTemporaryObject(buttonComponent, testCase, { icon: "qrc:/qml/images/Icons/qr-code.svg" });
        var label = findChild(button, "label");
        compare(label.x, button.width * 0.35);
        var plain = createTemporaryObject(buttonComponent, testCase);
        compare(findChild(plain, "label").x, 0);
    }
}
