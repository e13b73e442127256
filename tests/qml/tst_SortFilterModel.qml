import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// The event log's filter: only accepted items show, in model order, and the visible set follows
// both new items and a new filter.
TestCase {
    id: testCase
    name: "SortFilterModel"
    width: 200
    height: 200
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    ListModel {
        id: events
    }

    Component {
        id: modelComponent
        SortFilterModel {
            model: events
            delegate: Item { property string name: model.name }
        }
    }

    function init() {
        events.clear();
        ["Login", "Logout", "Login failed", "Application started"].forEach(function(name, i) {
            events.append({ name: name, category: i % 2 ? "session" : "system" });
        });
    }

    function shown(filtered) {
        var names = [];
        for (var i = 0; i < filtered.items.count; ++i) {
            var item = filtered.items.get(i);
            if (item.inVisible)
                names[item.visibleIndex] = item.model.name;
        }
        compare(filtered.count, names.length, "the model shows the visible group");
        return names;
    }

    function test_filter_data() {
        return [
            { tag: "everything by default", filter: null, names: ["Login", "Logout", "Login failed", "Application started"] },
            { tag: "by name", filter: function(item) { return item.name.indexOf("Login") === 0; },
              names: ["Login", "Login failed"] },
            { tag: "by category", filter: function(item) { return item.category === "session"; },
              names: ["Logout", "Application started"] },
            { tag: "nothing", filter: function(item) { return false; }, names: [] },
        ];
    }

    function test_filter(data) {
        var filtered = createTemporaryObject(modelComponent, testCase);
        if (data.filter)
            filtered.filterAcceptsItem = data.filter;
        compare(shown(filtered), data.names);
    }

    function test_newItemsAreFiltered() {
        var filtered = createTemporaryObject(modelComponent, testCase,
                                             { filterAcceptsItem: function(item) { return item.category === "system"; } });
        compare(shown(filtered), ["Login", "Login failed"]);
        events.insert(0, { name: "Reboot", category: "system" });
        events.append({ name: "Logout", category: "session" });
        compare(shown(filtered), ["Reboot", "Login", "Login failed"]);
        events.remove(1);
        compare(shown(filtered), ["Reboot", "Login failed"]);
    }

    function test_replacingTheFilterWidensAgain() {
        var filtered = createTemporaryObject(modelComponent, testCase,
                                             { filterAcceptsItem: function(item) { return false; } });
        compare(shown(filtered), []);
        filtered.filterAcceptsItem = function(item) { return true; };
        compare(shown(filtered), ["Login", "Logout", "Login failed", "Application started"]);
    }

    function test_lessThanDoesNotReorder() {
        var filtered = createTemporaryObject(modelComponent, testCase);
        filtered.lessThan = function(left, right) { return left.name > right.name; };
        compare(shown(filtered), ["Login", "Logout", "Login failed", "Application started"]);
    }
}
