import QtQuick 2.15

// Stands in for the last validation result (the map form of the transaction record).
QtObject {
    property int type: 0
    property string fareProduct: ""
    property string denyReason: ""
    property var details: ({})
}
