import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// A month grid over a MonthCalendarModel: title with the month arrows, weekday names, the days
// (marked days carry a dot, the selected day is filled, days after today are dimmed and inert).
// The screen that shows it moves the selection with the keyboard.
Item {
    id: root
    required property var calendar

    implicitHeight: column.implicitHeight

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            Layout.preferredHeight: 44
            CircleIconButton {
                systemName: "arrowtriangle.left.fill"
                text: qsTr("Previous month")
                onClicked: root.calendar.showPreviousMonth()
            }
            Text {
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: root.calendar.title
                color: Theme.textPrimary
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
            }
            CircleIconButton {
                systemName: "arrowtriangle.right.fill"
                text: qsTr("Next month")
                enabled: root.calendar.canShowNextMonth
                onClicked: root.calendar.showNextMonth()
            }
        }

        Row {
            Layout.fillWidth: true
            Repeater {
                model: root.calendar.weekdayNames
                Text {
                    required property string modelData
                    width: column.width / 7
                    horizontalAlignment: Text.AlignHCenter
                    text: modelData
                    color: Theme.textTertiary
                    font.pixelSize: Theme.captionSize
                }
            }
        }

        Grid {
            id: grid
            Layout.fillWidth: true
            columns: 7
            readonly property real cellSize: column.width / 7

            Repeater {
                model: root.calendar
                AbstractButton {
                    id: cell
                    required property int index
                    required property int dayNumber
                    required property bool inMonth
                    required property bool marked
                    required property bool selected
                    required property bool isFuture
                    required property bool isToday

                    width: grid.cellSize
                    height: Math.min(grid.cellSize, 46)
                    enabled: !isFuture
                    hoverEnabled: true
                    focusPolicy: Qt.NoFocus
                    //: Spoken after a day number in the calendar.
                    Accessible.name: dayNumber + (marked ? ", " + qsTr("has recordings") : "")
                    onClicked: root.calendar.selectCell(index)

                    background: Rectangle {
                        anchors.centerIn: parent
                        width: Math.min(parent.width, parent.height) - 4
                        height: width
                        radius: width / 2
                        color: cell.selected ? Theme.accent : cell.hovered ? Theme.fillHover : "transparent"
                        border.width: cell.isToday && !cell.selected ? 1 : 0
                        border.color: Theme.textSecondary
                    }
                    contentItem: Item {
                        Text {
                            anchors.centerIn: parent
                            text: cell.dayNumber
                            color: cell.selected ? "white" : cell.inMonth ? Theme.textPrimary : Theme.textTertiary
                            opacity: cell.isFuture ? 0.35 : cell.inMonth ? 1 : 0.75
                            font.pixelSize: Theme.calloutSize
                            font.weight: cell.isToday ? Font.Bold : Font.Normal
                        }
                        Rectangle {
                            visible: cell.marked
                            anchors.horizontalCenter: parent.horizontalCenter
                            anchors.bottom: parent.bottom
                            anchors.bottomMargin: 5
                            width: 5
                            height: 5
                            radius: 2.5
                            color: cell.selected ? "white" : Theme.accentWarm
                        }
                    }
                }
            }
        }
    }
}
