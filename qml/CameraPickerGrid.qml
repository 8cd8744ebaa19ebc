import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The cameras to switch to from the live screen, each a grid tile (refreshing picture, the
// "Unavailable" cover), the one shown marked. `columns` tiles a row, scrolling down; with
// `horizontal`, one row scrolling sideways.
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

    CamerasViewModel {
        id: cameras
        appModel: AppModel
    }

    Grid {
        id: grid
        spacing: 4
        columns: root.horizontal ? Math.max(1, tiles.count) : root.columns
        verticalItemAlignment: Grid.AlignTop

        Repeater {
            id: tiles
            model: AppModel.cameras
            delegate: CameraTile {
                aspect: AppModel.aspects[name] > 0 ? AppModel.aspects[name] : 16 / 9
                width: root.horizontal ? (root.height - 8) * aspect : root.tileWidth
                height: root.horizontal ? root.height - 8 : width / aspect
                available: cameras.unavailableCameras.indexOf(name) < 0
                marked: name === root.current
                pictureHeight: 180
                labelSize: Theme.footnoteSize
                focusPolicy: Qt.NoFocus
                onClicked: root.selected(name)
            }
        }
    }

    Text {
        width: root.width
        height: root.height
        visible: cameras.noCameras
        text: qsTr("No cameras")
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: Theme.textSecondary
        font.pixelSize: Theme.footnoteSize
    }
}
