import QtQuick
import Kestrova

// One camera of the order editor: its symbol, its name and a grip; pressing anywhere on the
// row and dragging moves it.
Rectangle {
    id: row
    required property int index
    required property string friendlyName
    required property string symbol
    property bool selected: false
    property bool showFocus: false
    readonly property bool dragging: mouse.pressed
    signal dragStarted()
    // The pointer, in the row's coordinates, while the row is dragged.
    signal draggedTo(point point)

    implicitHeight: 52
    radius: Theme.fieldRadius
    color: dragging ? Theme.surfaceHigh : selected ? Theme.fillHover : Theme.fillSubtle
    border.width: selected && showFocus ? 2 : 1
    border.color: selected && showFocus ? Theme.accent : Theme.hairline
    Accessible.role: Accessible.ListItem
    Accessible.name: friendlyName
    Accessible.selected: selected

    Icon {
        id: lead
        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        name: row.symbol
        size: 22
        color: Theme.iconSecondary
    }
    Text {
        anchors.left: lead.right
        anchors.leftMargin: 12
        anchors.right: grip.left
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: row.friendlyName
        color: Theme.textPrimary
        font.pixelSize: Theme.bodySize
        elide: Text.ElideRight
    }
    Icon {
        id: grip
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        name: "line.3.horizontal"
        size: 22
        color: mouse.containsMouse || row.dragging ? Theme.textPrimary : Theme.textTertiary
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        preventStealing: true
        cursorShape: pressed ? Qt.ClosedHandCursor : Qt.OpenHandCursor
        onPressed: row.dragStarted()
        onPositionChanged: event => {
            if (pressed)
                row.draggedTo(Qt.point(event.x, event.y))
        }
    }
}
