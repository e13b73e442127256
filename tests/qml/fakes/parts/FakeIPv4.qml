import QtQuick 2.15

// An IPv4 record of the network proxy.
QtObject {
    property string address: ""
    property string mask: ""
    property string gateway: ""
    property string dns0: ""
    property string dns1: ""

    function set(a, m, g, d0, d1) {
        address = a
        mask = m
        gateway = g
        dns0 = d0
        dns1 = d1
    }
}
