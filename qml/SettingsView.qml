import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The Settings tab: the current server's addresses and credentials, applied by "Save and
// reconnect"; the display preferences, applied as they change; the camera order editor (pushed
// on the tab's StackView); "Disconnect" and the version. Each visit to the tab starts again
// from the stored settings.
FocusScope {
    id: root
    property real bottomInset: 0
    property StackView stack: StackView.view
    // Form fields go under their labels below this row width, pixels.
    readonly property real fieldsBeside: 460

    SettingsViewModel {
        id: vm
        appModel: AppModel
    }

    Connections {
        target: root.stack
        function onVisibleChanged() {
            if (root.stack.visible)
                vm.takeDraft()
        }
    }

    Component {
        id: orderScreen
        CameraOrderView { bottomInset: root.bottomInset }
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Settings")
    }

    FocusFollowingFlickable {
        id: flick
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        contentHeight: form.implicitHeight + 16 + root.bottomInset + 16
        coveredBelow: root.bottomInset

        ColumnLayout {
            id: form
            y: 8
            x: (flick.width - width) / 2
            width: Math.min(640, flick.width - 2 * Theme.margin)
            spacing: 22

            SettingsSection {
                title: qsTr("Server")
                Layout.fillWidth: true

                SettingsRow {
                    label: qsTr("Connection")
                    Row {
                        spacing: 8
                        Layout.alignment: Qt.AlignRight | Qt.AlignVCenter
                        Rectangle {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 9
                            height: 9
                            radius: 4.5
                            color: vm.isLoggedIn ? Theme.online : Theme.error
                        }
                        Text {
                            text: vm.connectionText
                            color: Theme.textSecondary
                            font.pixelSize: Theme.calloutSize + 1
                        }
                    }
                }
                SettingsRow {
                    label: qsTr("Address in use")
                    besideWidth: root.fieldsBeside
                    visible: vm.addressInUse.length > 0
                    Text {
                        text: vm.addressInUse
                        color: Theme.textSecondary
                        font.pixelSize: Theme.calloutSize + 1
                        wrapMode: Text.WrapAnywhere
                        horizontalAlignment: parent.beside ? Text.AlignRight : Text.AlignLeft
                        Layout.fillWidth: true
                    }
                }
                SettingsRow {
                    label: qsTr("Site name")
                    besideWidth: root.fieldsBeside
                    DraftField {
                        symbol: "house"
                        value: vm.serverName
                        onEdited: text => vm.serverName = text
                        onAccepted: vm.saveAndReconnect()
                        Layout.fillWidth: true
                    }
                }
                SettingsRow {
                    label: qsTr("Local network address")
                    besideWidth: root.fieldsBeside
                    DraftField {
                        symbol: "wifi"
                        value: vm.internalURL
                        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                        onEdited: text => vm.internalURL = text
                        onAccepted: vm.saveAndReconnect()
                        Layout.fillWidth: true
                    }
                }
                SettingsRow {
                    label: qsTr("Remote address")
                    besideWidth: root.fieldsBeside
                    DraftField {
                        symbol: "globe"
                        value: vm.externalURL
                        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                        onEdited: text => vm.externalURL = text
                        onAccepted: vm.saveAndReconnect()
                        Layout.fillWidth: true
                    }
                }
                SettingsRow {
                    label: qsTr("Username")
                    besideWidth: root.fieldsBeside
                    DraftField {
                        symbol: "person"
                        value: vm.username
                        onEdited: text => vm.username = text
                        onAccepted: vm.saveAndReconnect()
                        Layout.fillWidth: true
                    }
                }
                DraftField {
                    symbol: "lock"
                    password: true
                    placeholder: qsTr("New password (leave empty to keep it)")
                    value: vm.newPassword
                    onEdited: text => vm.newPassword = text
                    onAccepted: vm.saveAndReconnect()
                    Layout.fillWidth: true
                }
                ActionButton {
                    objectName: "saveButton"
                    text: vm.saving ? "" : qsTr("Save and reconnect")
                    Accessible.name: qsTr("Save and reconnect")
                    prominent: true
                    busy: vm.saving
                    Layout.fillWidth: true
                    onClicked: vm.saveAndReconnect()
                }
                Text {
                    visible: vm.saveError.length > 0
                    text: vm.saveError
                    color: Theme.error
                    font.pixelSize: Theme.calloutSize
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignHCenter
                    Layout.fillWidth: true
                }
            }

            SettingsSection {
                title: qsTr("Cameras")
                Layout.fillWidth: true

                SettingsRow {
                    label: qsTr("Grid refresh")
                    GridRefreshPicker {
                        choices: vm.refreshChoices
                        currentText: vm.refreshText
                        onChosen: seconds => vm.gridRefreshSeconds = seconds
                    }
                }
                SettingsRow {
                    label: qsTr("Live in reduced quality")
                    ThemedSwitch {
                        checked: vm.liveUsesSubstream
                        onToggled: vm.liveUsesSubstream = checked
                        Accessible.name: qsTr("Live in reduced quality")
                    }
                }
                SettingsLink {
                    text: qsTr("Camera order")
                    Layout.fillWidth: true
                    onClicked: root.stack.push(orderScreen)
                }
            }

            SettingsSection {
                title: qsTr("Alerts")
                Layout.fillWidth: true

                SettingsRow {
                    label: qsTr("Also show detections")
                    ThemedSwitch {
                        checked: vm.showDetections
                        onToggled: vm.showDetections = checked
                        Accessible.name: qsTr("Also show detections")
                    }
                }
                SettingsRow {
                    label: qsTr("Notify new alerts")
                    ThemedSwitch {
                        checked: vm.notifyAlerts
                        onToggled: vm.notifyAlerts = checked
                        Accessible.name: qsTr("Notify new alerts")
                    }
                }
            }

            ActionButton {
                text: qsTr("Disconnect")
                destructive: true
                Layout.alignment: Qt.AlignHCenter
                Layout.minimumWidth: 200
                onClicked: AppModel.disconnect()
            }

            Text {
                text: vm.versionText
                color: Theme.textTertiary
                font.pixelSize: Theme.footnoteSize
                Layout.alignment: Qt.AlignHCenter
            }
        }
    }
}
