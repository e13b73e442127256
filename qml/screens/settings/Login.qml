import QtQuick 2.15

// Stands in for the PIN login until it arrives.
Item {
    objectName: "Login"
}
