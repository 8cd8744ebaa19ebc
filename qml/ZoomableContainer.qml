import QtQuick
import Kestrova

// Wraps content with pinch (touch screen or touchpad), Ctrl+wheel, double-click and drag zoom
// and pan; at rest a horizontal swipe pages through items.
//   onSwipe(+1): swiped left (next); onSwipe(-1): swiped right (previous).
Item {
    id: root
    property var onSwipe: null
    property var onTap: null
    default property alias content: contentLayer.data
    readonly property alias zoom: zoomState

    clip: true

    ZoomState {
        id: zoomState
        size: Qt.size(root.width, root.height)
    }

    Item {
        id: contentLayer
        width: root.width
        height: root.height

        readonly property bool animated: zoomState.transition !== ZoomState.Immediate
        readonly property int duration: zoomState.transition === ZoomState.SnapBack ? 200 : 250
        readonly property int easing: zoomState.transition === ZoomState.SnapBack ? Easing.OutQuad : Easing.InOutQuad

        property real shownScale: zoomState.scale
        property real shownX: zoomState.offset.x
        property real shownY: zoomState.offset.y
        Behavior on shownScale {
            enabled: contentLayer.animated
            NumberAnimation { duration: contentLayer.duration; easing.type: contentLayer.easing }
        }
        Behavior on shownX {
            enabled: contentLayer.animated
            NumberAnimation { duration: contentLayer.duration; easing.type: contentLayer.easing }
        }
        Behavior on shownY {
            enabled: contentLayer.animated
            NumberAnimation { duration: contentLayer.duration; easing.type: contentLayer.easing }
        }

        transform: [
            Scale {
                origin.x: contentLayer.width / 2
                origin.y: contentLayer.height / 2
                xScale: contentLayer.shownScale
                yScale: contentLayer.shownScale
            },
            Translate {
                x: contentLayer.shownX
                y: contentLayer.shownY
            }
        ]
    }

    PinchHandler {
        id: pinch
        target: null
        onActiveScaleChanged: {
            if (active)
                zoomState.pinchChanged(activeScale, centroid.pressPosition)
        }
        onActiveChanged: {
            if (!active)
                zoomState.pinchEnded()
        }
    }

    DragHandler {
        id: drag
        target: null
        dragThreshold: 12
        property point lastTranslation
        onTranslationChanged: {
            if (!active)
                return
            lastTranslation = Qt.point(translation.x, translation.y)
            zoomState.dragChanged(lastTranslation)
        }
        onActiveChanged: {
            if (active) {
                lastTranslation = Qt.point(0, 0)
                return
            }
            const direction = zoomState.dragEnded(lastTranslation)
            if (direction !== 0 && root.onSwipe)
                root.onSwipe(direction)
        }
    }

    WheelHandler {
        target: null
        acceptedModifiers: Qt.ControlModifier
        onWheel: (event) => zoomState.zoomBy(Math.pow(1.002, event.angleDelta.y), Qt.point(event.x, event.y))
    }

    // A single tap counts only once no second tap can follow it.
    Timer {
        id: singleTap
        interval: Qt.styleHints.mouseDoubleClickInterval
        onTriggered: {
            if (root.onTap)
                root.onTap()
        }
    }

    TapHandler {
        onSingleTapped: singleTap.restart()
        onDoubleTapped: (eventPoint) => {
            singleTap.stop()
            zoomState.doubleTapped(eventPoint.position)
        }
    }
}
