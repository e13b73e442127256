import QtQuick 2.15

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
    property var savedDeviceIds: []

    function setMaintenanceScreen() {
        maintenanceRequests += 1;
    }

    function saveDeviceIdRequest(deviceId) {
        savedDeviceIds = savedDeviceIds.concat([deviceId]);
    }
}
