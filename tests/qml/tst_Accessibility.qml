import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/controls"

// What a screen reader or a UI-automation tool finds on each control: a role and a name,
// icon-only controls named by what they are.
TestCase {
    id: testCase
    name: "Accessibility"
    width: 480
    height: 800
    // TestCase is hidden by default, and hidden items take no presses.
    visible: true
    when: windowShown

    Component { id: textButton; CustomButton { text: "SCAN\nTICKET"; icon: "qrc:/qml/images/Icons/qr-code.svg" } }
    Component { id: iconButton; CustomButton { icon: "qrc:/qml/images/Icons/nfc.svg" } }
    Component { id: namedIconButton; CustomButton { icon: "qrc:/qml/images/Icons/nfc.svg"; accessibleName: "Scan card" } }
    Component { id: roundButton; RoundButton { icon: "qrc:/qml/images/Icons/settings.svg" } }
    Component { id: label; TextBox { text: "OUT OF ORDER" } }
    Component { id: row; MessageRowItem { title: "Login"; message: "Technician" } }
    Component { id: clock; Clock {} }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function test_roleAndName_data() {
        return [
            { tag: "button with text", component: textButton, role: Accessible.Button, name: "SCAN TICKET", reader: null },
            { tag: "icon-only button", component: iconButton, role: Accessible.Button, name: "nfc", reader: null },
            { tag: "icon-only button given a name", component: namedIconButton, role: Accessible.Button, name: "Scan card", reader: null },
            { tag: "round button", component: roundButton, role: Accessible.Button, name: "settings", reader: null },
            { tag: "text box", component: label, role: Accessible.StaticText, name: "OUT OF ORDER", reader: "text" },
            { tag: "event row", component: row, role: Accessible.ListItem, name: "Login", reader: null },
            { tag: "clock", component: clock, role: Accessible.Clock, name: "Clock", reader: null },
        ];
    }

    function test_roleAndName(data) {
        var control = createTemporaryObject(data.component, testCase);
        verify(control);
        var item = data.reader ? findChild(control, data.reader) : control;
        compare(item.Accessible.role, data.role);
        compare(item.Accessible.name, data.name);
    }

    function test_pressAction_data() {
        return [
            { tag: "button", component: textButton, signalName: "clicked" },
            { tag: "round button", component: roundButton, signalName: "clicked" },
            { tag: "clock", component: clock, signalName: "clicked" },
            { tag: "event row", component: row, signalName: "clicked" },
        ];
    }

    // The press action an assistive tool calls does what a tap does.
    function test_pressAction(data) {
        var control = createTemporaryObject(data.component, testCase);
        var spy = createTemporaryObject(spyComponent, testCase, { target: control, signalName: data.signalName });
        control.Accessible.pressAction();
        compare(spy.count, 1);
    }
}
