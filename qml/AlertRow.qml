import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// One review item, a row of a ReviewListModel: severity bar, thumbnail, camera, when, how long,
// what was seen, and a dot while it is unseen.
ItemDelegate {
    id: row
    required property int index
    required property string reviewId
    required property string cameraName
    required property bool isAlert
    required property string thumbPath
    required property var thumbQuery
    required property string timeText
    required property string durationText
    required property string objects
    required property bool reviewed
    property bool selected: false

    implicitHeight: 104
    hoverEnabled: true
    padding: 0
    leftPadding: 0
    rightPadding: 14
    Accessible.name: cameraName + ", " + objects + ", " + timeText

    background: Rectangle {
        color: row.selected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.35)
             : row.down ? Theme.fillPressed
             : row.hovered || row.visualFocus ? Theme.fillSubtle : "transparent"
        Rectangle {
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            height: 1
            color: Theme.hairline
        }
    }

    contentItem: RowLayout {
        spacing: 12
        Rectangle {
            Layout.fillHeight: true
            Layout.preferredWidth: 7
            color: row.isAlert ? Theme.alert : Theme.detection
        }
        RemoteImage {
            Layout.preferredWidth: 156
            Layout.preferredHeight: 88
            Layout.alignment: Qt.AlignVCenter
            path: row.thumbPath
            query: row.thumbQuery
            fill: true
            clip: true
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.cameraName
                color: Theme.textPrimary
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.timeText
                color: Theme.textSecondary
                font.pixelSize: Theme.footnoteSize
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.durationText
                color: Theme.textTertiary
                font.pixelSize: Theme.footnoteSize
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.objects
                color: Theme.textTertiary
                font.pixelSize: Theme.footnoteSize
                elide: Text.ElideRight
            }
        }
        Item {
            Layout.preferredWidth: 20
            Layout.preferredHeight: 20
            Rectangle {
                anchors.centerIn: parent
                visible: !row.reviewed
                width: 12
                height: 12
                radius: 6
                color: Theme.accent
                //: The dot on an alert that has not been opened yet.
                Accessible.name: qsTr("Unseen")
            }
        }
    }
}
