import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// An image of a server path (with the client's credentials), cached for the whole app.
//   query: [["format", "gif"], ...] in order.
Item {
    id: root
    property string path
    property var query: []
    property bool fill: false
    readonly property bool failed: canvas.failed
    readonly property bool loaded: canvas.hasImage

    RemoteImageView {
        id: canvas
        anchors.fill: parent
        path: root.path
        query: root.query
        fillMode: root.fill ? ImageCanvas.Fill : ImageCanvas.Fit
    }

    Icon {
        anchors.centerIn: parent
        visible: canvas.failed
        name: "photo"
        size: Math.max(16, Math.min(32, Math.min(root.width, root.height) * 0.35))
        color: "grey"
        opacity: 0.6
    }

    BusyIndicator {
        anchors.centerIn: parent
        visible: !canvas.failed && !canvas.hasImage
        running: visible
        width: Math.min(36, Math.min(root.width, root.height) * 0.6)
        height: width
    }
}
