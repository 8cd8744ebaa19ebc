import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The cameras to switch to from the live screen, each with its refreshing picture, the one shown
// marked. `columns` tiles a row, scrolling down; with `horizontal`, one row scrolling sideways.
Flickable {
    id: root
    property string current
    property int columns: 1
    property bool horizontal: false
    signal selected(string name)

    readonly property real tileWidth: horizontal ? 160 : (width - (columns - 1) * grid.spacing) / columns

    clip: true
    contentWidth: horizontal ? grid.width : width
    contentHeight: horizontal ? height : grid.height
    flickableDirection: horizontal ? Flickable.HorizontalFlick : Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar { policy: root.horizontal ? ScrollBar.AlwaysOff : ScrollBar.AsNeeded }
    ScrollBar.horizontal: ScrollBar { policy: root.horizontal ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff }

    Grid {
        id: grid
        spacing: 4
        columns: root.horizontal ? Math.max(1, tiles.count) : root.columns
        verticalItemAlignment: Grid.AlignTop

        Repeater {
            id: tiles
            model: AppModel.cameras
            delegate: AbstractButton {
                id: tile
                required property string name
                required property string friendlyName
                readonly property bool shown: name === root.current
                readonly property real aspect: AppModel.aspects[name] > 0 ? AppModel.aspects[name] : 16 / 9
                width: root.horizontal ? (root.height - 8) * aspect : root.tileWidth
                height: root.horizontal ? root.height - 8 : width / aspect
                hoverEnabled: true
                focusPolicy: Qt.NoFocus
                text: friendlyName
                Accessible.name: friendlyName
                onClicked: root.selected(name)

                contentItem: Item {
                    clip: true
                    LiveSnapshot {
                        anchors.fill: parent
                        camera: tile.name
                        pixelHeight: 180
                        stretch: true
                    }
                    Text {
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        anchors.margins: 6
                        text: tile.friendlyName
                        color: "white"
                        font.pixelSize: Theme.footnoteSize
                        font.bold: true
                        elide: Text.ElideRight
                        style: Text.Raised
                        styleColor: Qt.rgba(0, 0, 0, 0.5)
                    }
                }
                background: Rectangle { color: Theme.slate; radius: 4 }

                Rectangle {
                    anchors.fill: parent
                    z: 1
                    radius: 4
                    color: tile.hovered && !tile.shown ? Qt.rgba(1, 1, 1, 0.08) : "transparent"
                    border.width: tile.shown ? 3 : 0
                    border.color: Theme.accent
                }
            }
        }
    }
}
