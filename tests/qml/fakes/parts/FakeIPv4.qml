import QtQuick 2.15

// An IPv4 record of the network proxy.
QtObject {
    property string address: ""
    property string mask: ""
    property string gateway: ""
    property string dns0: ""
    property string dns1: ""

}
