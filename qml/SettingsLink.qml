import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A settings row that leads to another screen: its text and a chevron.
AbstractButton {
    id: control

    hoverEnabled: true
    implicitHeight: Theme.controlHeight
    leftPadding: 0
    rightPadding: 4
    Accessible.name: text

    contentItem: Item {
        Text {
            anchors.left: parent.left
            anchors.right: chevron.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: control.text
            color: Theme.textPrimary
            font.pixelSize: Theme.calloutSize + 1
            elide: Text.ElideRight
        }
        Icon {
            id: chevron
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.right"
            size: 20
            color: control.hovered ? Theme.textPrimary : Theme.textTertiary
        }
    }
    background: Rectangle {
        anchors.fill: parent
        anchors.leftMargin: -8
        anchors.rightMargin: -4
        radius: 8
        color: control.down ? Theme.fillPressed : control.hovered ? Theme.fillSubtle : "transparent"
        border.width: control.visualFocus ? 2 : 0
        border.color: Theme.accent
    }
}
