import QtQuick 2.15
import QtQml.Models 2.15

// A delegate model that shows the items filterAcceptsItem(modelData) keeps, in model order.
// lessThan is kept for callers that set it; no sorting is done.
DelegateModel {
    id: root

    property var lessThan: function(left, right) { return true; }
    property var filterAcceptsItem: function(item) { return true; }

    function update() {
        if (items.count > 0)
            items.setGroups(0, items.count, "items");

        var kept = [];
        for (var i = 0; i < items.count; ++i) {
            var item = items.get(i);
            if (filterAcceptsItem(item.model))
                kept.push(item);
        }

        for (i = 0; i < kept.length; ++i) {
            item = kept[i];
            item.inVisible = true;
            if (item.visibleIndex !== i)
                visibleItems.move(item.visibleIndex, i, 1);
        }
    }

    items.onChanged: update()
    onLessThanChanged: update()
    onFilterAcceptsItemChanged: update()

    groups: DelegateModelGroup {
        id: visibleItems
        name: "visible"
        includeByDefault: false
    }
    filterOnGroup: "visible"
}
