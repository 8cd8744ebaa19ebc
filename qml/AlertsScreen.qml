import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The alerts tab: review items newest first, searched and paged further back as the list
// scrolls. From 600 px wide the player sits beside the list; narrower, it covers the window.
// ↑/↓ move through the rows and Enter plays the current one; the list keeps the focus.
Item {
    id: root
    property real bottomInset: 0
    readonly property bool wide: width >= 600
    property bool allExpanded: true
    // What the list shows below its section title, in this order of precedence.
    readonly property string listState: !allExpanded ? "collapsed"
        : alerts.loading && !alerts.hasItems ? "loading"
        : alerts.errorText.length > 0 && !alerts.hasItems ? "error"
        : alerts.rows.count === 0 ? "empty" : "rows"

    AlertsViewModel {
        id: alerts
        appModel: AppModel
        wide: root.wide
        onFullScreenRequested: (request) => fullScreen.show(request)
    }

    Component.onCompleted: {
        alerts.appear()
        list.forceActiveFocus()
    }
    // Each time the tab comes back, the keys go to the list.
    onVisibleChanged: if (visible) list.forceActiveFocus()

    // Relative times ("5 minutes ago") age while the list is shown.
    Timer {
        interval: 30000
        repeat: true
        running: root.visible
        onTriggered: alerts.refreshTimes()
    }

    // A notification's alert: played as its row's click would play it.
    function openReview(reviewId) {
        alerts.openReview(reviewId)
    }

    function openRow(row) {
        list.currentIndex = row
        alerts.openItem(row)
        // The pane's player is made on the next pass; the list keeps the keys.
        Qt.callLater(list.forceActiveFocus)
    }

    ColumnLayout {
        id: listColumn
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: root.wide ? Math.min(Math.max(root.width * 0.42, 300), 430) : root.width
        spacing: 0

        BIHeader {
            Layout.fillWidth: true
            title: qsTr("Alerts")
            trailing: CircleIconButton {
                id: menuButton
                systemName: "ellipsis"
                text: qsTr("Alert actions")
                onClicked: menu.open()
                ThemedMenu {
                    id: menu
                    y: menuButton.height + 4
                    x: menuButton.width - width
                    ThemedMenuItem {
                        text: qsTr("Mark all as seen")
                        symbol: "checkmark.circle"
                        onTriggered: confirmAll.open()
                    }
                    ThemedMenuItem {
                        text: qsTr("Also show detections")
                        checkable: true
                        checked: alerts.showDetections
                        onTriggered: {
                            alerts.showDetections = checked
                            checked = Qt.binding(() => alerts.showDetections)
                        }
                    }
                    ThemedMenuItem {
                        text: qsTr("Refresh")
                        symbol: "arrow.clockwise"
                        onTriggered: alerts.reload(false)
                    }
                }
            }
        }

        BISearchField {
            id: searchField
            Layout.fillWidth: true
            Layout.leftMargin: Theme.margin
            Layout.rightMargin: Theme.margin
            Layout.bottomMargin: 8
            placeholder: qsTr("Search camera or object")
            onTextChanged: alerts.search = text
            // Opening a notification's alert clears a search that hid it.
            Connections {
                target: alerts
                function onSearchChanged() { if (searchField.text !== alerts.search) searchField.text = alerts.search }
            }
            Keys.onDownPressed: list.forceActiveFocus()
        }

        ListView {
            id: list
            objectName: "alertsList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            focus: true
            keyNavigationEnabled: true
            highlightMoveDuration: 0
            boundsBehavior: Flickable.DragOverBounds
            bottomMargin: root.bottomInset
            model: root.allExpanded ? alerts.rows : null
            currentIndex: -1

            Keys.onReturnPressed: root.openRow(currentIndex)
            Keys.onEnterPressed: root.openRow(currentIndex)
            // The list keeps ↑/↓ and Enter; the player in the pane gets its own keys from here.
            Keys.forwardTo: paneRepeater.count > 0 ? [paneRepeater.itemAt(0)] : []
            // Pulling the list down past its top reloads it.
            onDragEnded: if (verticalOvershoot < -80) alerts.reload(false)

            header: Column {
                width: ListView.view.width
                SectionToggle {
                    x: Theme.margin - leftPadding
                    width: parent.width - 2 * Theme.margin
                    title: qsTr("All by hour")
                    expanded: root.allExpanded
                    onExpandedChanged: root.allExpanded = expanded
                }
                Item {
                    width: parent.width
                    height: 120
                    visible: root.listState === "loading"
                    BusyIndicator {
                        anchors.centerIn: parent
                        running: parent.visible
                    }
                }
                Text {
                    width: parent.width
                    padding: 40
                    visible: root.listState === "error"
                    text: alerts.errorText
                    color: Qt.rgba(1, 1, 1, 0.6)
                    font.pixelSize: Theme.calloutSize
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                }
                Text {
                    width: parent.width
                    padding: 40
                    visible: root.listState === "empty"
                    text: qsTr("No alerts.")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.calloutSize
                    horizontalAlignment: Text.AlignHCenter
                }
            }

            delegate: AlertRow {
                width: ListView.view.width
                selected: root.wide && alerts.hasPane && alerts.currentID === reviewId
                focusPolicy: Qt.NoFocus
                onClicked: root.openRow(index)
                Component.onCompleted: alerts.rowShown(index)
            }

            highlight: Rectangle {
                color: "transparent"
                border.width: 2
                border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.8)
                visible: list.activeFocus
                z: 2
            }
            highlightFollowsCurrentItem: true

            footer: Item {
                width: ListView.view.width
                height: alerts.loadingMore ? 60 : 0
                BusyIndicator {
                    anchors.centerIn: parent
                    visible: alerts.loadingMore
                    running: visible
                    width: 32
                    height: 32
                }
            }

            ScrollBar.vertical: ScrollBar { }
        }
    }

    Rectangle {
        id: divider
        visible: root.wide
        anchors.left: listColumn.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 1
        color: Qt.rgba(1, 1, 1, 0.12)
    }

    Rectangle {
        id: pane
        visible: root.wide
        anchors.left: divider.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        color: "black"

        // One player per request: a newly opened item gets a fresh player. A narrow window hides
        // the pane, and its player with it; widening again starts the request afresh.
        Repeater {
            id: paneRepeater
            model: root.wide && alerts.hasPane ? [alerts.paneRequest] : []
            delegate: VideoPlayerScreen {
                required property var modelData
                anchors.fill: parent
                anchors.bottomMargin: root.bottomInset
                request: modelData
                inPane: true
                onCloseRequested: alerts.closePane()
                onIndexReported: (index) => alerts.reportPaneIndex(index)
                onFullScreenRequested: (request) => fullScreen.show(request)
            }
        }

        Column {
            anchors.centerIn: parent
            anchors.verticalCenterOffset: -root.bottomInset / 2
            visible: !alerts.hasPane
            spacing: 12
            Icon {
                anchors.horizontalCenter: parent.horizontalCenter
                name: "play.rectangle"
                size: 44
                color: Theme.textTertiary
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Choose an alert from the list")
                color: Theme.textSecondary
                font.pixelSize: 15
            }
        }
    }

    FullScreenPlayer {
        id: fullScreen
        onDismissed: list.forceActiveFocus()
    }

    ConfirmDialog {
        id: confirmAll
        title: qsTr("Mark all alerts as seen?")
        confirmText: qsTr("Mark all as seen")
        onConfirmed: alerts.markAll()
        onClosed: list.forceActiveFocus()
    }
}
