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

    contentItem: Loader {
        focus: true
        active: popup.opened && popup.request !== undefined
        sourceComponent: VideoPlayerScreen {
            request: popup.request
            onCloseRequested: popup.close()
        }
    }
}
