import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// One server of the picker, a row of AppModel.servers: tap to connect; its menu edits, makes
// default or deletes it.
ItemDelegate {
    id: row
    required property var server
    required property string idText
    required property string displayName
    required property string username
    required property bool isDefault
    required property int index
    property bool connecting: false
    signal open()
    signal editRequested()
    signal makeDefaultRequested()
    signal deleteRequested()

    implicitHeight: 72
    hoverEnabled: true
    leftPadding: 16
    rightPadding: 10
    text: displayName
    Accessible.name: text
    onClicked: open()

    background: Rectangle {
        color: row.down ? Theme.fillPressed : row.hovered || row.visualFocus ? Theme.fillSubtle : "transparent"
        Rectangle {
            visible: row.index > 0
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 72
            height: 1
            color: Theme.hairline
        }
    }

    contentItem: RowLayout {
        spacing: 14
        Rectangle {
            Layout.preferredWidth: 42
            Layout.preferredHeight: 42
            radius: 11
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.22)
            Icon {
                anchors.centerIn: parent
                name: "server.rack"
                size: 22
                color: Qt.lighter(Theme.accent, 1.6)
            }
        }
        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            Text {
                text: row.text
                color: Theme.textPrimary
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            Text {
                //: Shown instead of the username of a server without authentication.
                text: row.username.length > 0 ? row.username : qsTr("No login")
                color: Theme.textTertiary
                font.pixelSize: Theme.footnoteSize
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
        Rectangle {
            visible: row.isDefault
            implicitWidth: defaultRow.implicitWidth + 16
            implicitHeight: 26
            radius: 13
            color: Qt.rgba(1, 0.8, 0.25, 0.14)
            Row {
                id: defaultRow
                anchors.centerIn: parent
                spacing: 4
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "star.fill"
                    size: 14
                    color: "#ffcc40"
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    //: Mark of the server opened at launch.
                    text: qsTr("Default")
                    color: "#ffdd80"
                    font.pixelSize: Theme.captionSize + 1
                    font.weight: Font.Medium
                }
            }
        }
        BusyIndicator {
            visible: row.connecting
            running: visible
            Layout.preferredWidth: 28
            Layout.preferredHeight: 28
        }
        CircleIconButton {
            id: menuButton
            systemName: "ellipsis.circle"
            text: qsTr("Server actions")
            onClicked: menu.open()
            ThemedMenu {
                id: menu
                y: menuButton.height + 4
                x: menuButton.width - width
                ThemedMenuItem {
                    //: Menu action: edit the server's settings.
                    text: qsTr("Edit")
                    symbol: "pencil"
                    onTriggered: row.editRequested()
                }
                ThemedMenuItem {
                    text: qsTr("Set as default")
                    symbol: "star"
                    enabled: !row.isDefault
                    onTriggered: row.makeDefaultRequested()
                }
                ThemedMenuItem {
                    text: qsTr("Delete")
                    symbol: "trash"
                    destructive: true
                    onTriggered: row.deleteRequested()
                }
            }
        }
    }
}
