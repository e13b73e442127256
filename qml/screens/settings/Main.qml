import QtQuick 2.15

// Stands in for the maintenance area until its screens arrive.
Item {
    objectName: "Settings"
}
