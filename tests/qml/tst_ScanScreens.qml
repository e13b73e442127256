import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/screens"

// The idle animation: card and ticket take turns after each pass when animSwitchSec is 0, and
// every animSwitchSec seconds otherwise. Timers are driven by hand, never waited for.
TestCase {
    id: testCase
    name: "ScanScreens"
    width: 480
    height: 680
    visible: true
    when: windowShown

    Component {
        id: screenComponent
        ScanScreens {
            width: testCase.width
            height: testCase.height
        }
    }

    function init() {
        manager.animSwitchSec = 0;
        manager.language = "en_IE";
    }

    function createScreen() {
        var screen = createTemporaryObject(screenComponent, testCase);
        verify(screen);
        findChild(screen, "frameTimer").stop();
        findChild(screen, "switchTimer").stop();
        return screen;
    }

    // mode:frame after each of count frame ticks.
    function tick(screen, count) {
        var seen = [];
        var timer = findChild(screen, "frameTimer");
        for (var i = 0; i < count; ++i) {
            timer.triggered();
            seen.push(screen.mode + ":" + screen.frame);
        }
        return seen;
    }

    function test_alternatesAfterEachPass() {
        var screen = createScreen();
        compare(findChild(screen, "switchTimer").interval, 0);
        compare(findChild(screen, "frameTimer").interval, 300);
        // Card frames 0..5, then ticket frames 0..7, then the card again.
        compare(tick(screen, 15), ["0:1", "0:2", "0:3", "0:4", "0:5", "1:0",
                                   "1:1", "1:2", "1:3", "1:4", "1:5", "1:6", "1:7", "0:0",
                                   "0:1"]);
    }

    // Every picture the screen asks for exists: 7 card frames (0-6), 9 ticket frames (0-8), also
    // at the moment one animation hands over to the other.
    function test_onlyExistingFramesAreShown_data() {
        return [ { tag: "after each pass", seconds: 0 }, { tag: "by the switch timer", seconds: 5 } ];
    }

    function test_onlyExistingFramesAreShown(data) {
        manager.animSwitchSec = data.seconds;
        var screen = createScreen();
        var frame = findChild(screen, "frame");
        var sources = [];
        var record = function() { sources.push(String(frame.source)); };
        frame.sourceChanged.connect(record);
        for (var round = 0; round < 3; ++round) {
            tick(screen, 12);
            findChild(screen, "switchTimer").triggered();
        }
        frame.sourceChanged.disconnect(record);
        verify(sources.length > 20);
        for (var i = 0; i < sources.length; ++i)
            verify(/\/(NFC\/[0-6]|Barcode\/[0-8])\.png$/.test(sources[i]), sources[i]);
    }

    // The pictures a holder keeps decoded, by frame number.
    function heldFrames(holder) {
        var held = [];
        for (var i = 0; i < holder.children.length; ++i) {
            var image = holder.children[i];
            if (image.status === Image.Ready)
                held.push(Number(/(\d+)\.png$/.exec(String(image.source))[1]));
        }
        return held.sort();
    }

    // A picture stays decoded once it has shown, so the next pass decodes nothing; one that
    // has not shown yet costs no memory.
    function test_shownPicturesStayDecoded() {
        var screen = createScreen();
        tick(screen, 3);
        compare(heldFrames(findChild(screen, "cardFrames")), [0, 1, 2, 3]);
        compare(heldFrames(findChild(screen, "ticketFrames")), []);
        tick(screen, 4);
        compare(screen.mode, 1);
        compare(heldFrames(findChild(screen, "cardFrames")), [0, 1, 2, 3, 4, 5]);
        compare(heldFrames(findChild(screen, "ticketFrames")), [0, 1]);
    }

    function test_promptAndPictureFollowTheMode() {
        var screen = createScreen();
        var prompt = findChild(screen, "prompt");
        var frame = findChild(screen, "frame");
        compare(prompt.text, "SCAN\nYOUR CARD");
        verify(String(frame.source).indexOf("/NFC/0.png") > 0, frame.source);
        tick(screen, 6);
        compare(prompt.text, "SCAN\nYOUR TICKET");
        verify(String(frame.source).indexOf("/Barcode/0.png") > 0, frame.source);
    }

    function test_switchTimerTakesOver() {
        manager.animSwitchSec = 5;
        var screen = createScreen();
        var switchTimer = findChild(screen, "switchTimer");
        compare(switchTimer.interval, 5000);
        verify(switchTimer.repeat);

        // The card animation runs all its frames and starts over; it never hands over by itself.
        compare(tick(screen, 8), ["0:1", "0:2", "0:3", "0:4", "0:5", "0:6", "0:0", "0:1"]);
        switchTimer.triggered();
        compare(screen.mode + ":" + screen.frame, "1:0");
        compare(tick(screen, 10), ["1:1", "1:2", "1:3", "1:4", "1:5", "1:6", "1:7", "1:8", "1:0", "1:1"]);
        switchTimer.triggered();
        compare(screen.mode + ":" + screen.frame, "0:0");
    }

    function test_switchTimerRunsOnlyWithANonZeroValue() {
        var screen = createTemporaryObject(screenComponent, testCase);
        verify(!findChild(screen, "switchTimer").running);
        manager.animSwitchSec = 2;
        verify(findChild(screen, "switchTimer").running);
        compare(findChild(screen, "switchTimer").interval, 2000);
        manager.animSwitchSec = 0;
        verify(!findChild(screen, "switchTimer").running);
    }

    Component {
        id: cardComponent
        ScanCard { width: testCase.width; height: testCase.height }
    }
    Component {
        id: ticketComponent
        ScanBarcode { width: testCase.width; height: testCase.height }
    }

    // The single prompts show every frame of their pass in 2300 ms and start over, never a
    // picture past the last one.
    function test_singleAnimationPasses_data() {
        return [ { tag: "card", component: cardComponent, pictures: "NFC", frames: 7 },
                 { tag: "ticket", component: ticketComponent, pictures: "Barcode", frames: 9 } ];
    }

    function test_singleAnimationPasses(data) {
        var screen = createTemporaryObject(data.component, testCase);
        var timer = findChild(screen, "frameTimer");
        timer.stop();
        fuzzyCompare(timer.interval * data.frames, 2300, data.frames);
        var frame = findChild(screen, "frame");
        var seen = [];
        for (var i = 0; i <= data.frames; ++i) {
            var name = /\/(\w+)\/(\d+)\.png$/.exec(String(frame.source));
            compare(name[1], data.pictures);
            seen.push(Number(name[2]));
            timer.triggered();
        }
        var expected = [];
        for (var n = 0; n < data.frames; ++n)
            expected.push(n);
        expected.push(0);
        compare(seen, expected);
    }

    function test_frameBeyondTheLastShowsTheFirst() {
        manager.animSwitchSec = 5;
        var screen = createScreen();
        screen.mode = 1;
        screen.frame = 8;
        screen.mode = 0;   // frame 8 is past the card animation's last frame
        verify(String(findChild(screen, "frame").source).indexOf("/NFC/0.png") > 0);
    }
}
