import QtQuick
import Kestrova

// A symbol in a translucent round well; the plain symbol when placed inside a system bar.
Item {
    id: root
    property string systemName
    property bool inSystemBar: false
    property color color: Theme.textPrimary
    property bool highlighted: false
    property bool pressed: false

    implicitWidth: inSystemBar ? glyph.implicitWidth : Theme.circleIconSize
    implicitHeight: inSystemBar ? glyph.implicitHeight : Theme.circleIconSize

    Rectangle {
        anchors.fill: parent
        visible: !root.inSystemBar
        radius: width / 2
        color: root.pressed ? Theme.fillPressed : root.highlighted ? Theme.fillHover : Theme.fillControl
        border.width: 1
        border.color: Theme.hairline
        Behavior on color { ColorAnimation { duration: 120 } }
    }

    Icon {
        id: glyph
        anchors.centerIn: parent
        name: root.systemName
        size: 20
        color: root.color
    }
}
