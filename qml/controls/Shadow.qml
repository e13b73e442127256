import QtQuick 2.15
import QtGraphicalEffects 1.15

// The drop shadow under buttons. Decoration only: it is loaded by URL where an OpenGL
// renderer draws it, and nothing depends on it being there.
DropShadow {
    property Item target

    source: target
    horizontalOffset: 3
    verticalOffset: 3
    radius: 8
    samples: 16
    color: "#80000000"
}
