import QtQuick
import QtQuick.Layouts
import Kestrova

// The settings tab as far as it goes today: which server is open, over which address, and the
// way back to the server picker.
Item {
    id: root
    property real bottomInset: 0

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Settings")
    }

    Rectangle {
        anchors.top: header.bottom
        anchors.topMargin: 16
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width - 40, 620)
        height: column.implicitHeight + 32
        radius: 14
        color: Theme.fillControl

        ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.margins: 16
            spacing: 6

            Text {
                text: AppModel.settings.displayName
                color: Theme.textPrimary
                font.pixelSize: Theme.bodySize + 2
                font.bold: true
            }
            Text {
                text: AppModel.connectionModeName + (AppModel.addressInUse ? " · " + AppModel.addressInUse : "")
                color: Theme.textSecondary
                font.pixelSize: Theme.bodySize
            }
            Text {
                visible: AppModel.hasStats && AppModel.stats.version !== ""
                text: qsTr("Frigate %1").arg(AppModel.stats.version || "")
                color: Theme.textSecondary
                font.pixelSize: Theme.bodySize
            }
            Text {
                Layout.topMargin: 10
                text: qsTr("Camera pictures refresh")
                color: Theme.textSecondary
                font.pixelSize: Theme.bodySize
            }
            Row {
                spacing: 8
                Repeater {
                    model: GridRefreshChoices.choices
                    delegate: ActionButton {
                        required property var modelData
                        text: modelData.text
                        prominent: AppModel.settings.gridRefreshSeconds === modelData.seconds
                        Accessible.checkable: true
                        Accessible.checked: prominent
                        onClicked: GridRefreshChoices.choose(AppModel, modelData.seconds)
                    }
                }
            }
            ActionButton {
                Layout.topMargin: 10
                Layout.alignment: Qt.AlignLeft
                text: qsTr("Disconnect")
                destructive: true
                onClicked: AppModel.disconnect()
            }
        }
    }
}
