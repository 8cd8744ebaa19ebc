import QtQuick
import QtQuick.Shapes
import Kestrova

// A recording light: a glowing red dot when active, a dim grey one otherwise.
Item {
    id: root
    property bool active: true
    property real size: 10

    implicitWidth: size
    implicitHeight: size
    opacity: active ? 1.0 : 0.55

    Shape {
        anchors.fill: parent
        layer.enabled: true
        layer.samples: 4
        ShapePath {
            strokeWidth: -1
            fillGradient: RadialGradient {
                centerX: root.size * 0.4
                centerY: root.size * 0.35
                centerRadius: root.size * 0.65
                focalX: centerX
                focalY: centerY
                GradientStop { position: 0.0; color: root.active ? "#ff8a80" : "#c9c8d6" }
                GradientStop { position: 0.55; color: root.active ? Theme.accentWarm : "#8d8ca3" }
                GradientStop { position: 1.0; color: root.active ? "#8e1d18" : "#4c4b60" }
            }
            PathAngleArc {
                centerX: root.size / 2
                centerY: root.size / 2
                radiusX: root.size / 2
                radiusY: root.size / 2
                startAngle: 0
                sweepAngle: 360
            }
        }
    }
}
