import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The Cameras tab until the camera grid arrives: each camera with its latest picture and the
// ways into its history. Pushes CameraHistoryScreen on the tab's StackView.
Item {
    id: root
    property real bottomInset: 0
    property StackView stack: StackView.view

    function openHistory(camera, mode) {
        stack.push(historyScreen, { camera: camera, mode: mode })
    }

    Component {
        id: historyScreen
        CameraHistoryScreen { bottomInset: root.bottomInset }
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Cameras")
    }

    Text {
        anchors.centerIn: parent
        visible: list.count === 0
        text: qsTr("No cameras.")
        color: Theme.textSecondary
        font.pixelSize: Theme.calloutSize
    }

    ListView {
        id: list
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width, 760)
        clip: true
        model: AppModel.cameras
        bottomMargin: root.bottomInset
        keyNavigationEnabled: true
        focus: true
        ScrollBar.vertical: ScrollBar {}

        delegate: FocusScope {
            id: row
            required property int index
            required property string name
            required property string friendlyName
            width: ListView.view.width
            height: 120

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: Theme.margin
                anchors.rightMargin: Theme.margin
                spacing: Theme.spacing

                LiveSnapshot {
                    Layout.preferredWidth: 156
                    Layout.preferredHeight: 88
                    camera: row.name
                    pixelHeight: 180
                    clip: true
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    Text {
                        Layout.fillWidth: true
                        text: row.friendlyName
                        color: Theme.textPrimary
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        elide: Text.ElideRight
                    }
                    Row {
                        spacing: 10
                        ActionButton {
                            id: recordingsButton
                            focus: true
                            symbol: "film.stack"
                            text: qsTr("Recordings")
                            onClicked: root.openHistory(row.name, CameraHistoryModel.Recordings)
                            KeyNavigation.right: alertsButton
                        }
                        ActionButton {
                            id: alertsButton
                            symbol: "bolt"
                            text: qsTr("Alerts")
                            onClicked: root.openHistory(row.name, CameraHistoryModel.Alerts)
                        }
                    }
                }
            }
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: 1
                color: Theme.hairline
            }
        }
    }
}
