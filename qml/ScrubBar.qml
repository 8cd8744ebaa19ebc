import QtQuick
import Kestrova

// A seek bar 40 high: the draggable range leaves 25 at each end. changed(value) while dragging,
// ended(value) on release; value and total in seconds.
Item {
    id: bar
    property double value: 0
    property double total: 0
    signal changed(double value)
    signal ended(double value)

    readonly property real inset: 25
    readonly property real track: Math.max(1, width - 2 * inset)
    readonly property real fraction: total > 0 ? Math.max(0, Math.min(1, value / total)) : 0

    function valueAt(x) {
        return total * Math.max(0, Math.min(1, (x - inset) / track))
    }

    implicitHeight: 40

    Rectangle {
        id: groove
        x: bar.inset
        width: bar.track
        height: 4
        radius: 2
        anchors.verticalCenter: parent.verticalCenter
        color: Qt.rgba(1, 1, 1, 0.25)
        Rectangle {
            width: parent.width * bar.fraction
            height: parent.height
            radius: 2
            color: "white"
        }
    }
    Rectangle {
        x: bar.inset + bar.track * bar.fraction - width / 2
        anchors.verticalCenter: parent.verticalCenter
        width: drag.pressed ? 18 : 14
        height: width
        radius: width / 2
        color: "white"
    }
    MouseArea {
        id: drag
        anchors.fill: parent
        enabled: bar.total > 0
        preventStealing: true
        onPressed: mouse => bar.changed(bar.valueAt(mouse.x))
        onPositionChanged: mouse => { if (pressed) bar.changed(bar.valueAt(mouse.x)) }
        onReleased: mouse => bar.ended(bar.valueAt(mouse.x))
    }
}
