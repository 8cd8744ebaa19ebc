import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A section title that folds its section in and out.
AbstractButton {
    id: control
    property string title
    property bool expanded: true

    hoverEnabled: true
    implicitHeight: 44
    implicitWidth: row.implicitWidth + leftPadding + rightPadding
    leftPadding: 4
    rightPadding: 4
    text: title
    Accessible.name: title
    Accessible.role: Accessible.Button
    Accessible.checkable: true
    Accessible.checked: expanded

    onClicked: expanded = !expanded

    contentItem: Item {
        Row {
            id: row
            anchors.verticalCenter: parent.verticalCenter
            anchors.left: parent.left
            anchors.right: parent.right
            spacing: 8
            Text {
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth, row.width - chevron.width - row.spacing)
                text: control.title
                color: Theme.textPrimary
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            Icon {
                id: chevron
                anchors.verticalCenter: parent.verticalCenter
                name: control.expanded ? "chevron.up" : "chevron.down"
                size: 20
                color: control.hovered ? Theme.textPrimary : Theme.textSecondary
            }
        }
    }
    background: null
}
