import QtQuick 2.15
import "parts"

// Stands in for the GUI manager: the members the screens read and call, with the calls
// recorded so a test can check them. Tests reset what they change in init().
QtObject {
    signal errorOccured(string error)

    property string screen: "Busy"
    property string language: "en_IE"
    property string dynTr: ""
    property bool showCursor: false
    property string message: ""
    property string deviceId: ""
    property int animSwitchSec: 0
    property color screenSaverBg: "black"
    property string screenSaverImg: "qrc:/qml/images/Icons/orvo.png"

    property int maintenanceRequests: 0
    // Pages that say they show a secret, by name.
    property var secretPages: []
    property var savedDeviceIds: []

    // The maintenance area's members: requests are recorded in `calls` ("name(args)").
    signal settingsAccessGranted()
    signal settingsAccessDenied()
    signal barcodeConfigurationApplied(var configList)

    property bool lockedOut: false
    property int lockoutRemainingSec: 0
    property int shutdownDelaySec: 120
    property bool showErrorDesc: false
    property int displayOffMin: 5
    property QtObject clock: FakeClock {}
    property QtObject update: FakeUpdate {}
    property QtObject diagnostics: FakeDiagnostics {}
    property CallLog log: CallLog {}
    readonly property var calls: log.calls

    function reset() {
        log.clear()
        screen = "Busy"
        language = "en_IE"
        lockedOut = false
        lockoutRemainingSec = 0
        shutdownDelaySec = 120
        showErrorDesc = false
        displayOffMin = 5
        showCursor = false
        secretPages = []
    }

    function settingsLoginRequest(pin) { log.record("settingsLoginRequest", [pin]) }
    function settingsLogoutRequest() { log.record("settingsLogoutRequest") }
    function rebootRequest() { log.record("rebootRequest") }
    function shutdownRequest() { log.record("shutdownRequest") }
    function exitRequest() { log.record("exitRequest") }
    function setSecretShown(page, shown) {
        const others = secretPages.filter(function(name) { return name !== page })
        secretPages = shown ? others.concat([page]) : others
    }

    function setMaintenanceScreen() {
        maintenanceRequests += 1;
    }

    function saveDeviceIdRequest(deviceId) {
        savedDeviceIds = savedDeviceIds.concat([deviceId]);
    }
}
