import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Basic
import Kestrova

// The rows of the status screen's current tab. For a log: opens at the end and stays there as
// lines arrive unless the user scrolled up; reaching the top asks for the lines before, and
// the rows in view keep their place when those are inserted above them.
ListView {
    id: list
    required property StatusViewModel status
    // The view stays on the last row as lines come in; scrolling away from the end stops it.
    property bool following: true
    // Set while the view moves itself, so that its own moves do not read as the user's.
    property bool adjusting: false
    // The row at the top of the view and how far above the view's top its top was.
    property int anchorRow: -1
    property real anchorOffset: 0
    property bool pinnedToEnd: false

    signal activated(int row)
    signal copyRequested(int row)
    signal contextMenuRequested(int row)

    objectName: "statusList"
    clip: true
    focus: true
    keyNavigationEnabled: true
    highlightMoveDuration: 0
    highlightFollowsCurrentItem: true
    boundsBehavior: Flickable.DragOverBounds
    currentIndex: -1
    model: status.rows

    // Puts the last row's bottom at the view's bottom, above the bottom margin (the tab bar),
    // which positionViewAtEnd leaves out. Positioning on the last row itself makes ListView lay
    // it out, so rows of varying heights still land exactly.
    function showEnd() {
        if (count === 0)
            return
        positionViewAtIndex(count - 1, ListView.End)
        contentY += bottomMargin
    }

    function scrollToEnd() {
        adjusting = true
        showEnd()
        adjusting = false
        following = true
    }

    function askForEarlier() {
        if (status.isLogTab && !status.reachedStart && !status.loadingEarlier && count > 0)
            status.loadEarlier()
    }

    onModelChanged: {
        currentIndex = -1
        if (status.isLogTab)
            Qt.callLater(scrollToEnd)
    }
    onContentYChanged: {
        if (adjusting || !status.isLogTab)
            return
        following = atYEnd
        // Within a screen of the top the next page is asked for, so it goes in above rows the
        // user has not reached yet.
        if (!following && contentY - originY < height)
            askForEarlier()
    }
    // Reaching the top by any means (wheel, drag, keys) once the user has left the end.
    onAtYBeginningChanged: if (atYBeginning && !following && !adjusting) askForEarlier()
    // Rows settle their height once laid out at the view's width: keep the end in view meanwhile.
    onContentHeightChanged: if (following && status.isLogTab && !moving && !adjusting) Qt.callLater(scrollToEnd)
    onCurrentIndexChanged: if (currentIndex === 0) askForEarlier()
    // Pulling past the top of a log asks for earlier lines; elsewhere it reloads the tab.
    onDragEnded: {
        if (verticalOvershoot >= -80)
            return
        if (status.isLogTab && !status.reachedStart)
            askForEarlier()
        else
            status.loadStatus()
    }

    Connections {
        target: list.model
        ignoreUnknownSignals: true
        function onModelAboutToBeReset() { list.pinnedToEnd = list.following }
        function onModelReset() {
            list.currentIndex = -1
            if (list.status.isLogTab && list.pinnedToEnd)
                Qt.callLater(list.scrollToEnd)
        }
        function onRowsAboutToBeInserted(parent, first, last) {
            list.pinnedToEnd = list.following
            list.anchorRow = -1
            if (first !== 0 || list.count === 0)
                return
            // At the very top the header covers the view's first pixels: look below it.
            const below = list.contentY + (list.headerItem ? Math.max(0, list.headerItem.y + list.headerItem.height - list.contentY) : 0) + 1
            const top = list.indexAt(list.width / 2, below)
            const item = list.itemAt(list.width / 2, below)
            if (top < 0 || item === null)
                return
            list.anchorRow = top
            list.anchorOffset = item.y - list.contentY
        }
        function onRowsInserted(parent, first, last) {
            if (!list.status.isLogTab)
                return
            list.adjusting = true
            if (list.anchorRow >= 0) {
                const row = list.anchorRow + last - first + 1
                list.positionViewAtIndex(row, ListView.Beginning)
                list.contentY -= list.anchorOffset
                if (list.currentIndex >= 0 && first === 0 && list.currentIndex <= row)
                    list.currentIndex += last - first + 1
            } else if (list.pinnedToEnd) {
                Qt.callLater(list.scrollToEnd)
            }
            list.adjusting = false
        }
    }

    Keys.onReturnPressed: activated(currentIndex)
    Keys.onEnterPressed: activated(currentIndex)
    Keys.onPressed: (event) => {
        if (event.matches(StandardKey.Copy)) {
            copyRequested(currentIndex)
            event.accepted = true
        }
    }

    header: Item {
        width: ListView.view.width
        height: list.status.isLogTab && list.count > 0 ? 44 : 0
        visible: height > 0
        BusyIndicator {
            anchors.centerIn: parent
            width: 28
            height: 28
            visible: list.status.loadingEarlier
            running: visible
        }
        Text {
            anchors.centerIn: parent
            visible: !list.status.loadingEarlier
            text: list.status.reachedStart ? qsTr("Start of the log") : qsTr("Scroll up for earlier lines")
            color: Theme.textTertiary
            font.pixelSize: Theme.captionSize
        }
    }

    delegate: LogRow {
        width: ListView.view.width
        current: ListView.isCurrentItem && list.activeFocus
        focusPolicy: Qt.NoFocus
        onClicked: list.activated(index)
        TapHandler {
            acceptedButtons: Qt.RightButton
            onTapped: list.contextMenuRequested(parent.index)
        }
    }

    ScrollBar.vertical: ScrollBar { }
}
