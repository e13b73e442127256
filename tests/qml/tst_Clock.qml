import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The clock's hidden gesture and its locale. Timers are driven by hand: a test checks that the
// timer runs with the right interval, then ends it.
TestCase {
    id: testCase
    name: "Clock"
    width: 480
    height: 200
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: clockComponent
        Clock {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function createClock() {
        var clock = createTemporaryObject(clockComponent, testCase);
        verify(clock);
        var gestures = createTemporaryObject(spyComponent, testCase, { target: clock, signalName: "pressAndHold" });
        var taps = createTemporaryObject(spyComponent, testCase, { target: clock, signalName: "clicked" });
        return { clock: clock, gestures: gestures, taps: taps,
                 pressTimer: findChild(clock, "pressTimer"), holdTimer: findChild(clock, "holdTimer") };
    }

    // Ends a running timer as if its time had passed.
    function expire(timer) {
        verify(timer.running, timer.objectName + " should be running");
        timer.stop();
        timer.triggered();
    }

    function tap(clock, times) {
        for (var i = 0; i < times; ++i)
            mouseClick(clock);
    }

    function test_tapsWithinOneSecond_data() {
        return [
            { tag: "one tap", taps: 1, gestures: 0 },
            { tag: "two taps", taps: 2, gestures: 0 },
            { tag: "three taps", taps: 3, gestures: 1 },
            { tag: "five taps", taps: 5, gestures: 1 },
        ];
    }

    function test_tapsWithinOneSecond(data) {
        var c = createClock();
        tap(c.clock, data.taps);
        compare(c.clock.clicks, data.taps);
        compare(c.taps.count, data.taps);
        compare(c.pressTimer.interval, 1000);
        compare(c.gestures.count, 0, "nothing fires before the second ends");
        expire(c.pressTimer);
        compare(c.gestures.count, data.gestures);
        compare(c.clock.clicks, 0, "the count starts again after each second");
    }

    function test_tapsInSeparateSecondsDoNotAddUp() {
        var c = createClock();
        tap(c.clock, 2);
        expire(c.pressTimer);
        tap(c.clock, 2);
        expire(c.pressTimer);
        compare(c.gestures.count, 0);
    }

    function test_holdTriggersAtOnce() {
        var c = createClock();
        mousePress(c.clock);
        compare(c.holdTimer.interval, 800);
        expire(c.holdTimer);
        compare(c.gestures.count, 1);
        verify(!c.pressTimer.running, "a hold ends the one-second count");
        mouseRelease(c.clock);
        compare(c.taps.count, 0, "a hold is not a tap");
    }

    function test_releaseBeforeHoldTimeIsATap() {
        var c = createClock();
        mousePress(c.clock);
        verify(c.holdTimer.running);
        mouseRelease(c.clock);
        verify(!c.holdTimer.running);
        compare(c.taps.count, 1);
        compare(c.gestures.count, 0);
    }

    function test_holdThenTwoTapsTriggersAgain() {
        var c = createClock();
        mousePress(c.clock);
        expire(c.holdTimer);
        mouseRelease(c.clock);
        tap(c.clock, 2);
        compare(c.clock.clicks, 3);
        expire(c.pressTimer);
        compare(c.gestures.count, 2);
    }

    function test_longPressTimeIsAProperty() {
        var c = createClock();
        c.clock.longPressMsec = 1500;
        mousePress(c.clock);
        compare(c.holdTimer.interval, 1500);
        mouseRelease(c.clock);
    }

    function test_monthNamesFollowTheLanguage() {
        var c = createClock();
        c.clock.dateFormat = "MMMM";
        var date = findChild(c.clock, "clockDate");
        c.clock.language = "en_IE";
        var english = date.text;
        c.clock.language = "el_GR";
        var greek = date.text;
        verify(english !== greek, "the month name changes with the language");
        compare(greek, c.clock.now.toLocaleDateString(Qt.locale("el_GR"), "MMMM"));
        compare(english, c.clock.now.toLocaleDateString(Qt.locale("en_IE"), "MMMM"));
    }

    function test_isAnAccessibleClock() {
        var c = createClock();
        compare(c.clock.Accessible.name, "Clock");
        compare(c.clock.Accessible.role, Accessible.Clock);
    }
}
