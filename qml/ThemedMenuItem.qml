import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A menu entry with a leading symbol; destructive entries are red.
MenuItem {
    id: item
    property string symbol
    property bool destructive: false

    implicitHeight: 40
    leftPadding: 12
    rightPadding: 12
    Accessible.name: text

    readonly property color tint: !enabled ? Theme.placeholder : destructive ? Theme.error : Theme.textPrimary

    contentItem: Row {
        spacing: 12
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            width: 20
            name: item.checkable ? (item.checked ? "checkmark" : "") : item.symbol
            size: 18
            color: item.tint
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: item.text
            color: item.tint
            font.pixelSize: Theme.calloutSize
        }
    }
    indicator: null
    arrow: null
    background: Rectangle {
        radius: 8
        color: item.highlighted ? Theme.fillHover : "transparent"
    }
}
