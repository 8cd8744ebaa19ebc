import QtQuick
import Kestrova

// Stands in for a tab's screen: its title in the header and its symbol in the middle.
Item {
    id: root
    property string title
    property string symbol
    property real bottomInset: 0

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: root.title
    }

    Column {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -root.bottomInset / 2
        spacing: 14
        Icon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: root.symbol
            size: 56
            color: Theme.textTertiary
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.title
            color: Theme.textSecondary
            font.pixelSize: Theme.bodySize
        }
    }
}
