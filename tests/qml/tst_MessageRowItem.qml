import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The event-log row: its height rules and what a press means with and without the latch.
TestCase {
    id: testCase
    name: "MessageRowItem"
    width: 480
    height: 400
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component {
        id: rowComponent
        MessageRowItem {
            title: "Login"
            message: "Technician logged in"
            time: "12:00:01"
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function spies(row) {
        var result = {};
        ["clicked", "pressed", "released", "deleteRequest"].forEach(function(name) {
            result[name] = createTemporaryObject(spyComponent, testCase, { target: row, signalName: name });
        });
        return result;
    }

    function test_expandedHeightIsCapped() {
        var row = createTemporaryObject(rowComponent, testCase, { isExpandable: true });
        var collapsed = row.height;
        verify(collapsed > 30 && collapsed < 150, collapsed);
        mouseClick(row);
        verify(row.expanded);
        verify(row.height > collapsed, "expanding shows the message");
        row.message = new Array(80).join("a long message that wraps ");
        compare(row.height, 150);
        mouseClick(row, 40, 20);
        verify(!row.expanded);
        compare(row.height, collapsed);
    }

    function test_notExpandableStaysCollapsed() {
        var row = createTemporaryObject(rowComponent, testCase);
        mouseClick(row);
        verify(!row.expanded);
        verify(!findChild(row, "deleteButton").visible);
    }

    function test_pressWithoutLatch() {
        var row = createTemporaryObject(rowComponent, testCase);
        var s = spies(row);
        mousePress(row, 40, 20);
        compare(s.pressed.count, 1);
        compare(s.released.count, 0);
        mouseRelease(row, 40, 20);
        compare(s.released.count, 1);
        compare(s.clicked.count, 1);
        compare(row.state, "released");
    }

    function test_slidingOffReleasesOnce() {
        var row = createTemporaryObject(rowComponent, testCase);
        var s = spies(row);
        mousePress(row, 40, 20);
        mouseMove(row, 40, row.height + 60);
        compare(s.released.count, 1);
        mouseRelease(row, 40, row.height + 60);
        compare(s.released.count, 1, "the release after sliding off is not counted twice");
        compare(s.clicked.count, 0);
    }

    function test_latch() {
        var row = createTemporaryObject(rowComponent, testCase, { enableLatchButton: true });
        var s = spies(row);
        mouseClick(row, 40, 20);
        compare(row.state, "pressed");
        compare(s.pressed.count, 1);
        compare(s.released.count, 0);
        mouseClick(row, 40, 20);
        compare(row.state, "released");
        compare(s.pressed.count, 1);
        compare(s.released.count, 1);
        compare(s.clicked.count, 2);
    }

    function test_deleteOnlyWhenExpanded() {
        var row = createTemporaryObject(rowComponent, testCase, { isExpandable: true, expanded: true });
        var s = spies(row);
        var trash = findChild(row, "deleteButton");
        verify(trash.visible);
        mouseClick(trash);
        compare(s.deleteRequest.count, 1);
        verify(row.expanded, "deleting is not a tap on the row");
    }
}
