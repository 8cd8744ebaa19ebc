import QtQuick
import QtQuick.Controls
import Kestrova

// The recording player over the whole window, tab bar included. show(request) opens it;
// dismissed() follows every close (button, Esc).
Popup {
    id: popup
    property var request
    signal dismissed()

    function show(playerRequest) {
        request = playerRequest
        open()
    }

    parent: Overlay.overlay
    x: 0
    y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    padding: 0
    modal: true
    focus: true
    closePolicy: Popup.NoAutoClose
    onClosed: { request = undefined; dismissed() }

    background: Rectangle { color: "black" }

    // The popup covers the tabs' banner, so it carries its own: a lost server or a new
    // certificate is said here too.
    contentItem: Item {
        ConnectionBanner {
            id: banner
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: implicitHeight
        }

        Loader {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: banner.bottom
            anchors.bottom: parent.bottom
            focus: true
            active: popup.opened && popup.request !== undefined
            sourceComponent: VideoPlayerScreen {
                request: popup.request
                onCloseRequested: popup.close()
            }
        }
    }
}
