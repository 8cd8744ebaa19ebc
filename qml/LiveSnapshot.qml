import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A camera's latest picture, refreshed at the server's grid refresh interval while shown.
Item {
    id: root
    property string camera
    property int pixelHeight: 360
    property bool stretch: false
    property real refreshSeconds: AppModel.settings.gridRefreshSeconds
    readonly property bool loaded: canvas.hasImage

    Rectangle {
        anchors.fill: parent
        visible: !canvas.hasImage
        color: Theme.slate
    }

    LiveSnapshotView {
        id: canvas
        anchors.fill: parent
        camera: root.camera
        pixelHeight: root.pixelHeight
        refreshSeconds: root.refreshSeconds
        fillMode: root.stretch ? ImageCanvas.Stretch : ImageCanvas.Fit
    }

    BusyIndicator {
        anchors.centerIn: parent
        visible: !canvas.hasImage
        running: visible
        width: Math.min(36, Math.min(root.width, root.height) * 0.6)
        height: width
    }
}
