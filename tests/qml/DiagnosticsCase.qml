import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtTest 1.15

// What the self-test page's test files share: a fresh page on a stack in `host` for every
// test, popups let close before the page goes, and the helpers that find, answer and colour.
TestCase {
    id: root

    // Where the stack is made; 480 x 730, the page's size in the frame.
    property Item host
    property var stack
    property var page
    readonly property var diagnostics: manager.diagnostics

    when: windowShown

    Component {
        id: stackComponent
        StackView {
            anchors.fill: parent
            initialItem: Item { objectName: "menuStandIn" }
        }
    }

    function init() {
        board.reset()
        inspector.reset()
        validatorManager.reset()
        diagnostics.reset()
        stack = createTemporaryObject(stackComponent, host)
        stack.push(Qt.resolvedUrl("qrc:/qml/screens/settings/Diagnostics.qml"), {}, StackView.Immediate)
        page = stack.currentItem
        verify(page)
    }

    // A popup destroyed while open or fading out leaks inside the toolkit: let them close.
    function cleanup() {
        const current = stack.find(item => item.objectName === "diagnosticsPage")
        if (!current)
            return
        for (const name of ["testDialog", "testMessage", "serialPopup", "reportPopup"]) {
            const popup = findChild(current, name)
            popup.close()
            tryCompare(popup, "visible", false)
        }
    }

    function child(name) {
        const item = findChild(page, name)
        verify(item, name)
        return item
    }

    function answer(button, yes) {
        mouseClick(child(button))
        const dialog = child("testDialog")
        tryCompare(dialog, "opened", true)
        mouseClick(findChild(dialog.contentItem, yes ? "popupYesButton" : "popupNoButton"))
        tryCompare(dialog, "visible", false)
    }

    function colourOf(name) {
        return { green: Material.color(Material.Green), red: Material.color(Material.Red),
                 amber: Material.color(Material.Amber), grey: Material.color(Material.Grey) }[name]
    }
}
