import QtQuick 2.15

// Keeps a frame animation's pictures decoded once each has shown. Qt's image cache lets go of
// pictures nobody shows once they add up to about two megabytes, so a full-screen animation
// would decode its picture again at every step: most of what a step costs the processor.
// The pictures are "<path><n>.png", n from 0 to count - 1; current is the one on screen.
Item {
    id: root

    property string path
    property int count: 0
    property string current

    visible: false

    Repeater {
        model: root.count
        Image {
            readonly property string picture: root.path + index + ".png"
            readonly property bool shown: root.current === picture
            // Taken when it first shows, so the screen's own load pays for the one decoding,
            // and kept. Set once rather than bound: a binding that also read whether the picture
            // had loaded would loop, as a resource loads while the binding runs.
            function take() {
                if (shown && source == "")
                    source = picture
            }
            onShownChanged: take()
            Component.onCompleted: take()
        }
    }
}
