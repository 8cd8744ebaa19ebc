import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// One camera's history by day: a month calendar and the selected day's recorded hours or
// review items; a row opens the player over the whole window. Pushed on a tab's StackView with
// `camera` and `mode`. Keys: arrows move the day (a week up and down), Page Up/Down a month,
// Enter plays the first row, Esc or Backspace goes back.
FocusScope {
    id: root
    property string camera
    property int mode: CameraHistoryModel.Recordings
    property real bottomInset: 0
    readonly property bool wide: width >= 600
    readonly property bool recordings: history.mode === CameraHistoryModel.Recordings
    readonly property var dayList: recordings ? hoursList : alertsList

    focus: true
    // The calendar moves between the side column and the top of the lists: show it from the top.
    onWideChanged: Qt.callLater(() => {
        hoursList.positionViewAtBeginning()
        alertsList.positionViewAtBeginning()
    })

    CameraHistoryModel {
        id: history
        appModel: AppModel
        camera: root.camera
        mode: root.mode
    }

    function goBack() {
        if (StackView.view)
            StackView.view.pop()
    }
    function play(request) {
        if (request && !request.isEmpty)
            player.show(request)
    }
    function openRow(row) {
        play(recordings ? history.openHour(row) : history.openAlert(row))
    }

    Keys.onPressed: (event) => {
        if (event.modifiers !== Qt.NoModifier && event.modifiers !== Qt.KeypadModifier)
            return
        const calendar = history.calendar
        const actions = {
            [Qt.Key_Left]: () => calendar.moveSelection(-1),
            [Qt.Key_Right]: () => calendar.moveSelection(1),
            [Qt.Key_Up]: () => calendar.moveSelection(-7),
            [Qt.Key_Down]: () => calendar.moveSelection(7),
            [Qt.Key_PageUp]: () => calendar.moveSelectionMonths(-1),
            [Qt.Key_PageDown]: () => calendar.moveSelectionMonths(1),
            [Qt.Key_Return]: () => root.openRow(0),
            [Qt.Key_Enter]: () => root.openRow(0),
            [Qt.Key_Escape]: () => root.goBack(),
            [Qt.Key_Backspace]: () => root.goBack()
        }
        const action = actions[event.key]
        if (action === undefined)
            return
        action()
        event.accepted = true
    }

    FullScreenPlayer {
        id: player
        onDismissed: root.forceActiveFocus()
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: history.cameraName
        leading: CapsuleBackButton {
            title: qsTr("Cameras")
            focusPolicy: Qt.NoFocus
            onClicked: root.goBack()
        }
        trailing: [
            BusyIndicator {
                anchors.verticalCenter: parent.verticalCenter
                width: 28
                height: 28
                running: history.loading
                visible: running
            },
            AbstractButton {
                id: modeButton
                anchors.verticalCenter: parent.verticalCenter
                hoverEnabled: true
                focusPolicy: Qt.NoFocus
                leftPadding: 14
                rightPadding: 12
                topPadding: 8
                bottomPadding: 8
                text: root.recordings ? qsTr("Recordings") : qsTr("Alerts")
                //: Spoken name of the button that switches between recordings and alerts.
                Accessible.name: qsTr("View: %1").arg(text)
                onClicked: modeMenu.popup(modeButton, 0, modeButton.height + 4)
                contentItem: Row {
                    spacing: 8
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: root.recordings ? "film.stack" : "bolt"
                        size: 18
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: modeButton.text
                        color: Theme.textPrimary
                        font.pixelSize: Theme.calloutSize
                    }
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "chevron.down"
                        size: 14
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: modeButton.down ? Theme.fillPressed : modeButton.hovered ? Theme.fillHover : Theme.fillControl
                    border.width: 1
                    border.color: Theme.hairline
                }
                ThemedMenu {
                    id: modeMenu
                    MenuSeparator {
                        contentItem: Text {
                            //: Menu heading over the "Recordings" and "Alerts" choices.
                            text: qsTr("View")
                            color: Theme.textTertiary
                            font.pixelSize: Theme.captionSize
                        }
                    }
                    ThemedMenuItem {
                        text: qsTr("Recordings")
                        symbol: "film.stack"
                        checkable: true
                        checked: root.recordings
                        onTriggered: history.mode = CameraHistoryModel.Recordings
                    }
                    ThemedMenuItem {
                        text: qsTr("Alerts")
                        symbol: "bolt"
                        checkable: true
                        checked: !root.recordings
                        onTriggered: history.mode = CameraHistoryModel.Alerts
                    }
                }
            },
            CircleIconButton {
                anchors.verticalCenter: parent.verticalCenter
                systemName: "arrow.clockwise"
                text: qsTr("Refresh")
                onClicked: history.load()
            }
        ]
    }

    Text {
        id: errorLine
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: history.errorText ? 8 : 0
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        height: history.errorText ? implicitHeight : 0
        visible: history.errorText.length > 0
        text: history.errorText
        color: Theme.error
        font.pixelSize: Theme.footnoteSize
        wrapMode: Text.Wrap
    }

    Item {
        id: body
        anchors.top: errorLine.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom

        Item {
            id: calendarColumn
            visible: root.wide
            width: root.wide ? Math.min(Math.max(body.width * 0.45, 340), 430) : 0
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            MonthCalendar {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: 16
                calendar: history.calendar
            }
        }
        Rectangle {
            id: divider
            visible: root.wide
            anchors.left: calendarColumn.right
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            width: root.wide ? 1 : 0
            color: Qt.rgba(1, 1, 1, 0.12)
        }

        DayList {
            id: hoursList
            visible: root.recordings
            model: history.hours
            emptyText: qsTr("No recordings on this day.")
            delegate: HistoryHourRow {
                width: ListView.view.width
                onClicked: root.openRow(index)
            }
        }
        DayList {
            id: alertsList
            visible: !root.recordings
            model: history.alerts
            emptyText: qsTr("No alerts on this day.")
            delegate: AlertRow {
                width: ListView.view.width
                focusPolicy: Qt.NoFocus
                onClicked: root.openRow(index)
            }
        }
    }

    // The day list beside the calendar, or below it in one scroll view on narrow windows.
    component DayList: ListView {
        id: dayList
        property string emptyText
        anchors.left: divider.right
        anchors.right: body.right
        anchors.top: body.top
        anchors.bottom: body.bottom
        clip: true
        keyNavigationEnabled: false
        bottomMargin: root.bottomInset
        ScrollBar.vertical: ScrollBar {}
        header: Component {
            Column {
                width: dayList.width
                topPadding: 12
                bottomPadding: 8
                MonthCalendar {
                    visible: !root.wide
                    x: 16
                    width: parent.width - 32
                    height: visible ? implicitHeight + 16 : 0
                    calendar: history.calendar
                }
                Text {
                    x: Theme.margin
                    text: history.selectedDayText
                    color: Theme.textSecondary
                    font.pixelSize: Theme.footnoteSize
                    font.weight: Font.DemiBold
                }
            }
        }
        footer: Component {
            Text {
                width: dayList.width
                height: visible ? 80 : 0
                visible: dayList.count === 0 && !history.loading
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                text: dayList.emptyText
                color: Qt.rgba(1, 1, 1, 0.6)
                font.pixelSize: Theme.calloutSize
            }
        }
    }

    // One row of the recordings list: the whole day or one recorded hour.
    component HistoryHourRow: ItemDelegate {
        id: row
        required property int index
        required property string thumbPath
        required property var thumbQuery
        required property string title
        required property string line1
        required property string line2
        required property string line3
        required property bool wholeDay

        implicitHeight: 104
        hoverEnabled: true
        focusPolicy: Qt.NoFocus
        padding: 0
        rightPadding: 14
        Accessible.name: title + ", " + line1

        background: Rectangle {
            color: row.down ? Theme.fillPressed : row.hovered ? Theme.fillSubtle : "transparent"
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Theme.hairline
            }
        }
        contentItem: RowLayout {
            spacing: 12
            Rectangle {
                Layout.fillHeight: true
                Layout.preferredWidth: 7
                color: Theme.alert
            }
            RemoteImage {
                Layout.preferredWidth: 156
                Layout.preferredHeight: 88
                path: row.thumbPath
                query: row.thumbQuery
                fill: true
                clip: true
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    text: row.title
                    color: Theme.textPrimary
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                }
                Repeater {
                    model: [row.line1, row.line2, row.line3]
                    Text {
                        required property string modelData
                        required property int index
                        Layout.fillWidth: true
                        visible: modelData.length > 0
                        text: modelData
                        color: index === 0 ? Theme.textSecondary : Theme.textTertiary
                        font.pixelSize: Theme.footnoteSize
                        elide: Text.ElideRight
                    }
                }
            }
        }
    }
}
