import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// One row of the status lists (an event, a log line, the server, a camera): a coloured symbol,
// the title with the time on its right, the subtitle below and an optional trailing tag.
// Log lines wrap (tracebacks arrive as one line with breaks), capped at a dozen lines.
ItemDelegate {
    id: row
    required property int index
    // The row's roles (LogRowRoles); AbstractButton keeps the name "icon" for itself.
    required property var model
    readonly property string symbol: model.icon
    readonly property color iconColor: model.iconColor
    readonly property string title: model.title
    readonly property string subtitle: model.subtitle
    readonly property string time: model.time
    readonly property string trailing: model.trailing
    readonly property bool multiline: model.multiline
    property bool current: false

    implicitHeight: content.implicitHeight + topPadding + bottomPadding
    hoverEnabled: true
    topPadding: 10
    bottomPadding: 10
    leftPadding: Theme.margin
    rightPadding: Theme.margin
    Accessible.name: title + ", " + subtitle + ", " + time

    background: Rectangle {
        color: row.down ? Theme.fillPressed
             : row.current ? Theme.fillHover
             : row.hovered ? Theme.fillSubtle : "transparent"
        Rectangle {
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            height: 1
            color: Theme.hairline
        }
    }

    contentItem: RowLayout {
        id: content
        spacing: 12
        Icon {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 1
            Layout.preferredWidth: 20
            name: row.symbol
            size: 18
            color: row.iconColor
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Text {
                    Layout.fillWidth: true
                    text: row.title
                    color: Theme.textPrimary
                    font.pixelSize: Theme.calloutSize
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                }
                Text {
                    text: row.time
                    color: Theme.textTertiary
                    font.pixelSize: Theme.captionSize
                    textFormat: Text.PlainText
                }
            }
            Text {
                Layout.fillWidth: true
                text: row.subtitle
                color: Theme.textSecondary
                font.pixelSize: Theme.footnoteSize
                font.family: row.multiline ? "monospace" : font.family
                textFormat: Text.PlainText
                wrapMode: row.multiline ? Text.WrapAnywhere : Text.NoWrap
                maximumLineCount: row.multiline ? 12 : 1
                elide: Text.ElideRight
            }
        }
        Label {
            Layout.alignment: Qt.AlignVCenter
            visible: row.trailing.length > 0
            text: row.trailing
            color: "white"
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            textFormat: Text.PlainText
            leftPadding: 8
            rightPadding: 8
            topPadding: 2
            bottomPadding: 2
            background: Rectangle { radius: height / 2; color: Theme.accent }
        }
    }
}
