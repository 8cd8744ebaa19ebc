import QtQuick
import QtQuick.Controls
import QtMultimedia
import Kestrova

// The picture of a recording as a PlayerController plays it, with the motion boxes and the
// labelled tracked objects over it, and the controller's buffering and error states.
Item {
    id: surface

    required property PlayerController controller
    // Tracked objects of the item's review: a QList<TrackedObject> handed over from C++.
    property var tracks
    // Seconds since 1970 at item time 0, so the overlay finds the objects of the moment shown.
    property double itemStart: 0
    // Seconds since 1970 of the picture shown; a player that knows its recording files maps it.
    property double time: itemStart + controller.currentTime
    property bool showBoxes: true
    signal retryRequested()

    VideoOutput {
        id: video
        anchors.fill: parent
        fillMode: VideoOutput.PreserveAspectFit
    }

    ObjectBoxesOverlay {
        x: video.contentRect.x
        y: video.contentRect.y
        width: video.contentRect.width
        height: video.contentRect.height
        visible: surface.showBoxes && !surface.controller.hasError
        motion: surface.controller.motionBoxes
        tracks: surface.tracks
        time: surface.time
        aspect: surface.controller.videoAspect !== undefined ? surface.controller.videoAspect : 16 / 9
    }

    Binding {
        target: surface.controller
        property: "videoSink"
        value: video.videoSink
    }

    BusyIndicator {
        anchors.centerIn: parent
        running: surface.controller.isBuffering && !surface.controller.hasError
        visible: running
    }

    Column {
        anchors.centerIn: parent
        spacing: 12
        visible: surface.controller.hasError

        Icon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: "exclamationmark.triangle"
            size: 36
            color: "white"
        }
        Text {
            width: Math.min(surface.width - 48, 420)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "white"
            text: surface.controller.error
        }
        ActionButton {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Retry")
            onClicked: surface.retryRequested()
        }
    }
}
