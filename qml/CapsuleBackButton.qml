import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// "‹ Title" in a capsule: the way back from a pushed screen.
AbstractButton {
    id: control
    property string title

    hoverEnabled: true
    leftPadding: 12
    rightPadding: 16
    topPadding: 8
    bottomPadding: 8
    text: title
    Accessible.name: title

    contentItem: Row {
        spacing: 6
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.left"
            size: 20
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: control.title
            color: Theme.textPrimary
            font.pixelSize: Theme.bodySize
            elide: Text.ElideRight
        }
    }
    background: Rectangle {
        radius: height / 2
        color: control.down ? Theme.fillPressed : control.hovered ? Theme.fillHover : Theme.fillControl
        border.width: 1
        border.color: Theme.hairline
    }
}
