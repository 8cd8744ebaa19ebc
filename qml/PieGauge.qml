import QtQuick
import QtQuick.Shapes
import Kestrova

// A pie chart of one fraction: a grey disc, the slice in `color` from three o'clock clockwise,
// the percentage half-way along the slice and the title below. A new value animates the slice.
Item {
    id: root
    property string title
    // 0…1, already clamped.
    property real value: 0
    // The percentage as shown, "42%".
    property string label
    property color color
    property real size: 124

    // The drawn fraction; trails `value` while it animates.
    property real fraction: value
    Behavior on fraction {
        NumberAnimation { duration: Theme.animationMs * 2; easing.type: Easing.OutCubic }
    }

    readonly property real radius: size / 2
    // The label sits half-way along the slice, a quarter of the diameter out from the centre.
    readonly property real labelAngle: Math.PI * fraction

    implicitWidth: size
    implicitHeight: size + 4 + titleText.implicitHeight

    Accessible.role: Accessible.StaticText
    Accessible.name: title + " " + label

    Rectangle {
        width: root.size
        height: root.size
        radius: root.radius
        color: Qt.rgba(1 / 3, 1 / 3, 1 / 3, 1)
    }

    // Nearly full reads as full: no hairline gap where the arc would meet its start.
    Rectangle {
        visible: root.fraction >= 0.999
        width: root.size
        height: root.size
        radius: root.radius
        color: root.color
    }

    Shape {
        visible: root.fraction > 0 && root.fraction < 0.999
        width: root.size
        height: root.size
        layer.enabled: true
        layer.samples: 4
        ShapePath {
            strokeWidth: -1
            fillColor: root.color
            startX: root.radius
            startY: root.radius
            PathAngleArc {
                centerX: root.radius
                centerY: root.radius
                radiusX: root.radius
                radiusY: root.radius
                startAngle: 0
                sweepAngle: root.fraction * 360
                moveToStart: false
            }
            PathLine { x: root.radius; y: root.radius }
        }
    }

    Rectangle {
        x: root.radius + root.size / 4 * Math.cos(root.labelAngle) - width / 2
        y: root.radius + root.size / 4 * Math.sin(root.labelAngle) - height / 2
        width: percentText.implicitWidth + 8
        height: percentText.implicitHeight + 2
        radius: 4
        color: Qt.rgba(0, 0, 0, 0.6)
        Text {
            id: percentText
            anchors.centerIn: parent
            text: root.label
            color: "white"
            font.pixelSize: Theme.footnoteSize
            font.weight: Font.DemiBold
        }
    }

    Text {
        id: titleText
        y: root.size + 4
        width: root.size
        horizontalAlignment: Text.AlignHCenter
        text: root.title
        color: Qt.rgba(1, 1, 1, 0.9)
        font.pixelSize: Theme.footnoteSize
        elide: Text.ElideRight
    }
}
