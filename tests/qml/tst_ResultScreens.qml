import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/screens"
import "qrc:/qml/controls"

// The figures under a result: which block each product type gets on "Valid" and
// "AlreadyValid", the remaining-period wording, and money and dates in the chosen language;
// and what a screen reader hears of each result.
TestCase {
    id: testCase
    name: "ResultScreens"
    width: 480
    height: 680
    visible: true
    when: windowShown

    Component {
        id: validComponent
        Valid {
            width: testCase.width
            height: testCase.height
        }
    }

    Component {
        id: alreadyValidComponent
        AlreadyValid {
            width: testCase.width
            height: testCase.height
        }
    }

    Component { id: invalidComponent; Invalid { width: testCase.width; height: testCase.height } }
    Component { id: retryComponent; Retry { width: testCase.width; height: testCase.height } }
    Component { id: outOfOrderComponent; OutOfOrder { width: testCase.width; height: testCase.height } }
    Component { id: outOfServiceComponent; OutOfService { width: testCase.width; height: testCase.height } }

    function cleanup() {
        testTranslator.load("");
        manager.dynTrChanged();
    }

    function init() {
        manager.language = "en_IE";
        transaction.type = 0;
        transaction.fareProduct = "";
        transaction.details = ({});
    }

    function text(screen, name) {
        var item = findChild(screen, name);
        verify(item, name);
        return item.text;
    }

    function show(component, type, details) {
        transaction.type = type;
        transaction.details = details;
        var screen = createTemporaryObject(component, testCase);
        verify(screen);
        // Each screen takes its locale from the language when it changes.
        manager.language = "el_GR";
        manager.language = "en_IE";
        return screen;
    }

    function test_remainingPeriod_data() {
        return [
            { tag: "1441 min", minutes: 1441, text: "1 day" },
            { tag: "2159 min", minutes: 2159, text: "1 day" },
            { tag: "2160 min (halves round up)", minutes: 2160, text: "2 days" },
            { tag: "1440 min", minutes: 1440, text: "24 hours" },
            { tag: "121 min", minutes: 121, text: "2 hours" },
            { tag: "150 min", minutes: 150, text: "3 hours" },
            { tag: "120 min", minutes: 120, text: "120 mins" },
            { tag: "1 min", minutes: 1, text: "1 min" },
            { tag: "0 min", minutes: 0, text: "0 mins" },
        ];
    }

    function test_remainingPeriod(data) {
        var screen = show(validComponent, 0, { transferRemainingMin: data.minutes });
        compare(text(screen, "leftValue"), data.text);
    }

    // The block's words come from the hosting screen's own translation context.
    function test_figureWordsInGreek_data() {
        return [
            { tag: "Valid", component: validComponent },
            { tag: "AlreadyValid", component: alreadyValidComponent },
        ];
    }

    function test_figureWordsInGreek(data) {
        var screen = show(data.component, 8, { remaining: 2160 });
        compare([text(screen, "leftHeading"), text(screen, "leftValue"), text(screen, "rightHeading")],
                ["Remaining", "2 days", "Expires"]);
        verify(testTranslator.load("el_GR"));
        manager.dynTrChanged();
        compare([text(screen, "leftHeading"), text(screen, "leftValue"), text(screen, "rightHeading")],
                ["Υπόλοιπο", "2 ημέρες",
                 "Λήγει"]);
    }

    // The title is an alert, so a screen reader announces the result as it shows; the symbol is
    // named by its meaning in the passenger's language, not by its picture's file.
    function test_announced_data() {
        return [
            { tag: "Valid", component: validComponent, title: "VALID", symbol: "Accepted", greek: "Αποδεκτό" },
            { tag: "Invalid", component: invalidComponent, title: "INVALID", symbol: "Refused", greek: "Απορρίφθηκε" },
            { tag: "AlreadyValid", component: alreadyValidComponent, title: "ALREADY VALIDATED", symbol: "Warning", greek: "Προειδοποίηση" },
            { tag: "Retry", component: retryComponent, title: "PLEASE TRY AGAIN", symbol: "Try again", greek: "Δοκιμάστε ξανά" },
            { tag: "OutOfOrder", component: outOfOrderComponent, title: "OUT OF ORDER", symbol: "Fault", greek: "Βλάβη" },
            { tag: "OutOfService", component: outOfServiceComponent, title: "OUT OF SERVICE", symbol: "Warning", greek: "Προειδοποίηση" },
        ];
    }

    function test_announced(data) {
        var screen = createTemporaryObject(data.component, testCase);
        var title = findChild(findChild(screen, "label"), "text");
        compare(title.Accessible.role, Accessible.AlertMessage);
        compare(title.Accessible.name, data.title);
        var symbol = findChild(screen, "symbol");
        compare(symbol.Accessible.role, Accessible.Graphic);
        compare(symbol.Accessible.name, data.symbol);
        verify(testTranslator.load("el_GR"));
        manager.dynTrChanged();
        compare(symbol.Accessible.name, data.greek);
        verify(title.Accessible.name !== data.title, "the title is Greek too");
    }

    function test_blockByType_data() {
        var rows = [];
        // [type, left heading, right heading on Valid, shown on AlreadyValid]
        var table = [
            [0, "Remaining", "", true],
            [2, "Deducted", "Balance", true],
            [5, "Remaining", "Trips", true],
            [8, "Remaining", "Expires", true],
            [12, "Remaining", "Trips", true],
            [14, "Remaining", "Balance", true],
            [15, "Deducted", "Balance", false],
            [16, "Remaining", "Trips", false],
            [3, "", "", false],
            [99, "", "", false],
        ];
        for (var i = 0; i < table.length; ++i) {
            var row = table[i];
            var shownOnValid = row[1] !== "";
            rows.push({ tag: "Valid type " + row[0], component: validComponent, type: row[0],
                        shown: shownOnValid, left: row[1], right: row[2] });
            rows.push({ tag: "AlreadyValid type " + row[0], component: alreadyValidComponent, type: row[0],
                        shown: row[3], left: row[3] ? row[1] : "", right: row[3] ? row[2] : "" });
        }
        return rows;
    }

    function test_blockByType(data) {
        var screen = show(data.component, data.type, { transferRemainingMin: 30, remaining: 4, deducted: 1 });
        var block = findChild(screen, "detailsBlock");
        compare(block.visible, data.shown);
        if (!data.shown)
            return;
        compare(text(screen, "leftHeading"), data.left);
        compare(findChild(screen, "rightHeading").visible, data.right !== "");
        if (data.right !== "")
            compare(text(screen, "rightHeading"), data.right);
    }

    function test_figures_data() {
        return [
            { tag: "e-purse", type: 2, details: { deducted: 1.5, remaining: 8.5 },
              en: ["\u20ac1.50", "\u20ac8.50"], el: ["1,50\u00a0\u20ac", "8,50\u00a0\u20ac"] },
            { tag: "stored journeys", type: 5, details: { transferRemainingMin: 45, remaining: 7 },
              en: ["45 mins", "7"], el: ["45 mins", "7"] },
            { tag: "transfer on e-purse", type: 14, details: { transferRemainingMin: 74, remaining: 12.4 },
              en: ["74 mins", "\u20ac12.40"], el: ["74 mins", "12,40\u00a0\u20ac"] },
            { tag: "period pass", type: 8, details: { remaining: 2880, expires: new Date(2026, 11, 9, 10, 0) },
              en: ["2 days", "9 Dec 26"], el: ["2 days", "9 \u0394\u03b5\u03ba 26"] },
        ];
    }

    function test_figures(data) {
        var screen = show(validComponent, data.type, data.details);
        compare([text(screen, "leftValue"), text(screen, "rightValue")], data.en);
        manager.language = "el_GR";
        compare([text(screen, "leftValue"), text(screen, "rightValue")], data.el);
    }

    function test_missingFiguresShowEmpty() {
        var screen = show(validComponent, 8, ({}));
        compare(text(screen, "leftValue"), "0 mins");
        compare(text(screen, "rightValue"), "");
    }

    function test_fareProductShownAsGiven() {
        transaction.fareProduct = "10 journeys";
        var screen = show(alreadyValidComponent, 5, ({}));
        compare(text(screen, "fareProduct"), "10 journeys");
    }
}
