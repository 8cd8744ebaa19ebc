import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The status tab: recent events, the server and go2rtc logs, the server and its cameras, under
// one filter. ↑/↓ move through the rows, Enter plays an event, Ctrl+C copies the current row
// (as does the right-click menu). A log opens at its end and follows new lines while the view
// stays there; scrolling to the top brings the lines before, keeping the rows in view in place.
Item {
    id: root
    property real bottomInset: 0
    readonly property bool showSpinner: statusModel.loading && list.count === 0

    StatusViewModel {
        id: statusModel
        appModel: AppModel
        active: root.visible
        onPlayerChanged: if (hasPlayer) fullScreen.show(player)
    }

    Component.onCompleted: {
        statusModel.appear()
        list.forceActiveFocus()
    }
    onVisibleChanged: if (visible) list.forceActiveFocus()

    function copyRow(row) {
        if (row >= 0)
            statusModel.copyRow(row)
    }

    function activateRow(row) {
        list.currentIndex = row
        if (statusModel.tab === StatusViewModel.Events)
            statusModel.openEvent(row)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        BIHeader {
            Layout.fillWidth: true
            title: qsTr("Status")
            trailing: CircleIconButton {
                systemName: "arrow.clockwise"
                text: qsTr("Refresh")
                onClicked: statusModel.loadStatus()
            }
        }

        StatusTabSelector {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin
            Layout.rightMargin: Theme.margin
            Layout.bottomMargin: 10
            titles: statusModel.tabTitles
            selected: statusModel.tab
            onActivated: (tab) => {
                statusModel.tab = tab
                list.forceActiveFocus()
            }
        }

        BISearchField {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin
            Layout.rightMargin: Theme.margin
            Layout.bottomMargin: 8
            placeholder: qsTr("Filter")
            onTextChanged: statusModel.filter = text
            Keys.onDownPressed: list.forceActiveFocus()
        }

        Row {
            objectName: "staleNote"
            Layout.leftMargin: Theme.margin
            Layout.bottomMargin: 8
            visible: AppModel.health.stale && AppModel.health.lastUpdated.length > 0
            spacing: 6
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                name: "clock.arrow.circlepath"
                size: Theme.footnoteSize + 2
                color: Theme.detection
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: AppModel.health.lastUpdated
                color: Theme.detection
                font.pixelSize: Theme.footnoteSize
                font.weight: Font.DemiBold
            }
        }

        LogListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            // What the server said before it stopped answering.
            opacity: AppModel.health.stale ? 0.4 : 1
            status: statusModel
            bottomMargin: root.bottomInset
            onActivated: (row) => root.activateRow(row)
            onCopyRequested: (row) => root.copyRow(row)
            onContextMenuRequested: (row) => {
                list.currentIndex = row
                contextMenu.row = row
                contextMenu.popup()
            }
        }
    }

    BusyIndicator {
        anchors.horizontalCenter: parent.horizontalCenter
        y: list.y + 60
        visible: root.showSpinner
        running: visible
    }

    Text {
        x: Theme.margin
        y: list.y + 40
        width: root.width - 2 * Theme.margin
        visible: !statusModel.loading && list.count === 0
        text: statusModel.filter.length > 0 ? qsTr("Nothing matches the filter.") : qsTr("Nothing to show.")
        color: Theme.textSecondary
        font.pixelSize: Theme.calloutSize
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
    }

    ThemedMenu {
        id: contextMenu
        property int row: -1
        implicitWidth: 160
        ThemedMenuItem {
            text: qsTr("Copy")
            symbol: "doc.on.doc"
            onTriggered: root.copyRow(contextMenu.row)
        }
        onClosed: list.forceActiveFocus()
    }

    FullScreenPlayer {
        id: fullScreen
        onDismissed: {
            statusModel.closePlayer()
            list.forceActiveFocus()
        }
    }
}
