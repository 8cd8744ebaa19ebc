import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The Cameras tab: every camera of the server as a tile with its refreshing picture, in the
// user's order; a tile opens the camera live screen on the tab's StackView. Arrow keys move
// through the grid, Enter opens the focused camera. The menu sets the refresh rate, reloads the
// cameras and opens another window.
FocusScope {
    id: root
    property real bottomInset: 0
    property StackView stack: StackView.view
    property bool camerasExpanded: true
    readonly property int columns: cameras.columnsFor(flick.width - 2 * Theme.margin)

    property int focusedIndex: 0

    // The keys go to the tile focused last, or the section toggle without tiles.
    function focusGrid() {
        const tile = tiles.itemAt(Math.min(focusedIndex, tiles.count - 1))
        if (tile && root.camerasExpanded)
            tile.forceActiveFocus()
        else
            toggle.forceActiveFocus()
    }

    Component.onCompleted: Qt.callLater(focusGrid)
    onVisibleChanged: if (visible) focusGrid()
    StackView.onActivated: focusGrid()

    function openLive(name) {
        stack.push(liveScreen, { camera: name })
    }

    // Focus moves by `delta` tiles, kept within the grid.
    function moveFocus(from, delta) {
        const to = from + delta
        if (to < 0 || to >= tiles.count)
            return
        const tile = tiles.itemAt(to)
        tile.forceActiveFocus(Qt.TabFocusReason)
        const top = tile.y + grid.y
        if (top < flick.contentY)
            flick.contentY = top
        else if (top + tile.height > flick.contentY + flick.height - root.bottomInset)
            flick.contentY = Math.min(flick.contentHeight - flick.height, top + tile.height - flick.height + root.bottomInset)
    }

    CamerasViewModel {
        id: cameras
        appModel: AppModel
    }

    Component {
        id: liveScreen
        CameraLiveScreen { bottomInset: root.bottomInset }
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Cameras")
        trailing: CircleIconButton {
            id: menuButton
            systemName: "ellipsis"
            text: qsTr("Camera options")
            onClicked: menu.open()
            ThemedMenu {
                id: menu
                y: menuButton.height + 4
                x: menuButton.width - width
                MenuSeparator {
                    contentItem: Text {
                        text: qsTr("Refresh rate")
                        color: Theme.textSecondary
                        font.pixelSize: Theme.footnoteSize
                    }
                }
                // Rebuilt whenever the rate changes; the entries go in right after the heading.
                Instantiator {
                    model: GridRefreshChoices.choicesFor(AppModel.settings.gridRefreshSeconds)
                    delegate: ThemedMenuItem {
                        required property var modelData
                        text: modelData.text
                        checkable: true
                        checked: modelData.chosen
                        onTriggered: {
                            GridRefreshChoices.choose(AppModel, modelData.seconds)
                            // Clicking the chosen rate again must not clear its mark.
                            checked = Qt.binding(() => modelData.chosen)
                        }
                    }
                    onObjectAdded: (index, object) => menu.insertItem(index + 1, object)
                    onObjectRemoved: (index, object) => menu.removeItem(object)
                }
                MenuSeparator {}
                ThemedMenuItem {
                    text: qsTr("Reload cameras")
                    symbol: "arrow.clockwise"
                    enabled: !cameras.reloading
                    onTriggered: cameras.reloadCameras()
                }
                ThemedMenuItem {
                    text: qsTr("New window")
                    symbol: "macwindow.badge.plus"
                    onTriggered: ApplicationWindow.window.openAnotherWindow()
                }
            }
        }
    }

    Text {
        anchors.centerIn: parent
        visible: cameras.noCameras
        text: qsTr("No cameras.")
        color: Theme.textSecondary
        font.pixelSize: Theme.calloutSize
    }

    Flickable {
        id: flick
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        visible: AppModel.cameras.count > 0
        clip: true
        contentWidth: width
        contentHeight: grid.y + (root.camerasExpanded ? grid.height : 0) + root.bottomInset + 12
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        SectionToggle {
            id: toggle
            x: Theme.margin
            width: parent.width - 2 * Theme.margin
            title: qsTr("Cameras")
            expanded: root.camerasExpanded
            onExpandedChanged: root.camerasExpanded = expanded
            KeyNavigation.down: tiles.count > 0 ? tiles.itemAt(0) : null
        }

        Grid {
            id: grid
            x: Theme.margin
            y: toggle.height + 6
            width: flick.width - 2 * Theme.margin
            visible: root.camerasExpanded
            columns: root.columns
            spacing: 3
            verticalItemAlignment: Grid.AlignTop
            readonly property real cellWidth: (width - (columns - 1) * spacing) / columns

            Repeater {
                id: tiles
                model: AppModel.cameras
                delegate: CameraTile {
                    id: tile
                    required property int index
                    width: grid.cellWidth
                    aspect: AppModel.aspects[name] > 0 ? AppModel.aspects[name] : 16 / 9
                    available: cameras.unavailableCameras.indexOf(name) < 0
                    onActiveFocusChanged: if (activeFocus) root.focusedIndex = index
                    onClicked: root.openLive(name)
                    Keys.onLeftPressed: root.moveFocus(index, -1)
                    Keys.onRightPressed: root.moveFocus(index, 1)
                    Keys.onUpPressed: index < root.columns ? toggle.forceActiveFocus(Qt.TabFocusReason)
                                                           : root.moveFocus(index, -root.columns)
                    Keys.onDownPressed: root.moveFocus(index, root.columns)
                }
            }
        }
    }
}
