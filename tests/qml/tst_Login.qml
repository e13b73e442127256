import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/screens/settings"

// The PIN page: what the box shows while digits are typed, and how it takes the answer.
Item {
    id: top
    width: 480
    height: 680

    Component {
        id: loginComponent
        Login { anchors.fill: parent }
    }

    TestCase {
        name: "Login"
        when: windowShown

        property var login

        function init() {
            manager.reset()
            login = createTemporaryObject(loginComponent, top)
            verify(login)
        }

        function key(text) {
            const item = findChild(login, "calc_" + text)
            verify(item, "key " + text)
            mouseClick(item)
        }

        function pinText() {
            return findChild(login, "pinText")
        }

        function loginButton() {
            return findChild(login, "loginButton")
        }

        function test_entry_data() {
            return [
                { tag: "nothing typed", keys: [], shown: "Pin", enabled: false },
                { tag: "one digit", keys: ["7"], shown: "7", enabled: true },
                { tag: "backspace on one digit", keys: ["7", "\u2190"], shown: "Pin", enabled: false },
                { tag: "backspace on nothing", keys: ["\u2190"], shown: "Pin", enabled: false },
                { tag: "backspace removes the last", keys: ["1", "2", "\u2190", "3"], shown: "13", enabled: true },
                { tag: "CLR empties", keys: ["1", "2", "3", "CLR"], shown: "Pin", enabled: false },
                { tag: "digits after CLR", keys: ["1", "CLR", "9"], shown: "9", enabled: true },
                { tag: "no length limit", keys: ["1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "1", "2"],
                  shown: "123456789012", enabled: true }
            ]
        }

        function test_entry(data) {
            for (let i = 0; i < data.keys.length; ++i)
                key(data.keys[i])
            compare(pinText().text, data.shown)
            // The placeholder is grey; typed digits take the theme's text colour.
            compare(Qt.colorEqual(pinText().color, "#8f8f8f"), data.shown === "Pin")
            compare(loginButton().enabled, data.enabled)
        }

        function test_loginSendsTheTypedDigits() {
            key("2")
            key("4")
            key("6")
            key("8")
            mouseClick(loginButton())
            compare(manager.calls, ["settingsLoginRequest(2468)"])
        }

        function test_deniedEmptiesAndShakes() {
            key("1")
            key("1")
            const box = findChild(login, "loginBox")
            manager.settingsAccessDenied()
            compare(pinText().text, "Pin")
            verify(!loginButton().enabled)
            // The box moves sideways and comes back to the middle.
            tryVerify(() => box.anchors.horizontalCenterOffset !== 0, 1000)
            tryCompare(box.anchors, "horizontalCenterOffset", 0, 2000)
            compare(manager.screen, "Busy")
        }

        function test_grantedOpensSettings() {
            key("5")
            manager.settingsAccessGranted()
            compare(manager.screen, "Settings")
        }

        function test_hidingEmpties() {
            key("3")
            key("4")
            login.visible = false
            compare(pinText().text, "Pin")
            verify(!loginButton().enabled)
        }

        function test_showingEmpties() {
            login.visible = false
            login.input = "99"
            login.visible = true
            compare(pinText().text, "Pin")
        }

        function test_lockoutSaysHowLong() {
            manager.lockoutRemainingSec = 42
            manager.lockedOut = true
            verify(pinText().text.indexOf("42 s") >= 0, pinText().text)
            manager.lockoutRemainingSec = 41
            verify(pinText().text.indexOf("41 s") >= 0, pinText().text)
            // Typed digits still show, so a technician sees what is typed.
            key("8")
            compare(pinText().text, "8")
            key("CLR")
            manager.lockedOut = false
            compare(pinText().text, "Pin")
        }
    }
}
