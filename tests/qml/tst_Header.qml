import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The passenger header: the flag shows the other language and asks for it; the clock's hidden
// gesture comes out as magicButtonPressed().
TestCase {
    id: testCase
    name: "Header"
    width: 480
    height: 200
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: headerComponent
        Header {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function test_flagToggle_data() {
        return [
            { tag: "Greek shows the British flag and asks for English", language: "el_GR",
              flag: "uk.png", requested: "en_IE" },
            { tag: "English shows the Greek flag and asks for Greek", language: "en_IE",
              flag: "gr.png", requested: "el_GR" },
            { tag: "an unknown language counts as not Greek", language: "de_DE",
              flag: "gr.png", requested: "el_GR" },
            { tag: "no language yet", language: "", flag: "gr.png", requested: "el_GR" },
        ];
    }

    function test_flagToggle(data) {
        var header = createTemporaryObject(headerComponent, testCase, { language: data.language });
        var requests = createTemporaryObject(spyComponent, testCase, { target: header, signalName: "languageRequested" });
        var flag = findChild(header, "languageButton");
        verify(flag);
        var icon = findChild(flag, "icon");
        compare(icon.source.toString(), "qrc:/qml/images/Flags/" + data.flag);
        tryCompare(icon, "status", Image.Ready);
        mouseClick(flag);
        compare(requests.count, 1);
        compare(requests.signalArguments[0][0], data.requested);
    }

    function test_flagFollowsLanguageChanges() {
        var header = createTemporaryObject(headerComponent, testCase, { language: "en_IE" });
        var icon = findChild(findChild(header, "languageButton"), "icon");
        header.language = "el_GR";
        compare(icon.source.toString(), "qrc:/qml/images/Flags/uk.png");
        header.language = "en_IE";
        compare(icon.source.toString(), "qrc:/qml/images/Flags/gr.png");
    }

    // The flag is named by the language it switches to, in that language.
    function test_flagIsNamedByTheOtherLanguage_data() {
        return [
            { tag: "Greek shows English", language: "el_GR", name: "English" },
            { tag: "English shows Greek", language: "en_IE", name: "Ελληνικά" },
        ];
    }

    function test_flagIsNamedByTheOtherLanguage(data) {
        var header = createTemporaryObject(headerComponent, testCase, { language: data.language });
        var flag = findChild(header, "languageButton");
        compare(flag.Accessible.name, data.name);
        compare(flag.Accessible.role, Accessible.Button);
    }

    function test_clockGestureIsTheMagicButton() {
        var header = createTemporaryObject(headerComponent, testCase);
        var magic = createTemporaryObject(spyComponent, testCase, { target: header, signalName: "magicButtonPressed" });
        var clock = findChild(header, "clock");
        mouseClick(clock);
        compare(magic.count, 0, "a tap only logs");
        mousePress(clock);
        var hold = findChild(clock, "holdTimer");
        verify(hold.running);
        hold.stop();
        hold.triggered();
        mouseRelease(clock);
        compare(magic.count, 1);
        findChild(clock, "pressTimer").stop();
    }

    function test_clockShowsDayMonthYearAndHoursMinutes() {
        var header = createTemporaryObject(headerComponent, testCase, { language: "en_IE" });
        var clock = findChild(header, "clock");
        verify(/^\d\d-\w{3}-\d{4}$/.test(findChild(clock, "clockDate").text), findChild(clock, "clockDate").text);
        verify(/^\d\d:\d\d$/.test(findChild(clock, "clockTime").text), findChild(clock, "clockTime").text);
    }
}
