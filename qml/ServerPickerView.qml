pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The configured servers: connect to one, add, edit, delete, choose the default and whether
// it opens at launch.
Item {
    id: root
    // The id of the row whose connection is running, or "".
    readonly property string connectingID: AppModel.isConnecting ? AppModel.settings.idText : ""
    // The server whose deletion awaits confirmation, or null.
    property var deleting: null

    readonly property bool busy: connectingID.length > 0

    function edit(server) {
        editSheet.server = server
        editSheet.open()
    }

    function add() {
        editSheet.server = null
        editSheet.open()
    }

    // A server that needs a password typed opens the form instead of connecting.
    function connectTo(server) {
        if (root.busy)
            return
        AppModel.connectToServer(server.idText).then(function (tried) {
            if (!tried)
                root.edit(server)
        })
    }

    // "Sign in again" from the tabs, or --server for a server that needs a password: this
    // server's form, once, whether asked before the picker appeared or while it shows.
    function openRequestedSignIn() {
        if (AppModel.signInRequest.length === 0 || AppModel.signInRequest !== AppModel.settings.idText)
            return
        AppModel.clearSignInRequest()
        root.edit(AppModel.settings)
    }
    Component.onCompleted: Qt.callLater(openRequestedSignIn)
    Connections {
        target: AppModel
        function onSignInRequestChanged() { Qt.callLater(root.openRequestedSignIn) }
    }

    FocusFollowingFlickable {
        id: flick
        anchors.fill: parent
        contentHeight: column.implicitHeight + 2 * column.y

        ColumnLayout {
            id: column
            y: root.height < 720 ? 24 : 56
            x: (flick.width - width) / 2
            width: Math.min(620, flick.width - 40)
            spacing: 16

            LogoBlock {
                compact: true
                Layout.alignment: Qt.AlignHCenter
                Layout.bottomMargin: 12
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                Text {
                    text: qsTr("Choose a server")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.titleSize + 2
                    font.weight: Font.Bold
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                ActionButton {
                    text: qsTr("Add server")
                    symbol: "plus"
                    onClicked: root.add()
                }
            }

            Rectangle {
                Layout.fillWidth: true
                implicitHeight: rows.implicitHeight
                radius: Theme.cardRadius
                color: Qt.rgba(Theme.surfaceRaised.r, Theme.surfaceRaised.g, Theme.surfaceRaised.b, 0.85)
                border.width: 1
                border.color: Theme.hairline
                clip: true

                Column {
                    id: rows
                    width: parent.width
                    Repeater {
                        model: AppModel.servers
                        delegate: ServerRow {
                            id: row
                            objectName: "serverRow" + row.index
                            width: rows.width
                            connecting: row.idText === root.connectingID
                            onOpen: root.connectTo(row.server)
                            onEditRequested: root.edit(row.server)
                            onMakeDefaultRequested: AppModel.setDefaultServer(row.idText)
                            onDeleteRequested: {
                                root.deleting = row.server
                                deleteDialog.open()
                            }
                        }
                    }
                }
            }

            Rectangle {
                Layout.fillWidth: true
                implicitHeight: autoColumn.implicitHeight + 28
                radius: Theme.cardRadius
                color: Qt.rgba(Theme.surfaceRaised.r, Theme.surfaceRaised.g, Theme.surfaceRaised.b, 0.85)
                border.width: 1
                border.color: Theme.hairline

                Column {
                    id: autoColumn
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.leftMargin: 18
                    anchors.rightMargin: 12
                    spacing: 6
                    Item {
                        width: parent.width
                        height: Math.max(autoLabel.implicitHeight, autoSwitch.implicitHeight)
                        Text {
                            id: autoLabel
                            anchors.left: parent.left
                            anchors.right: autoSwitch.left
                            anchors.rightMargin: 12
                            anchors.verticalCenter: parent.verticalCenter
                            text: qsTr("Connect automatically to the default server")
                            color: Theme.textPrimary
                            font.pixelSize: Theme.calloutSize + 1
                            wrapMode: Text.WordWrap
                        }
                        ThemedSwitch {
                            id: autoSwitch
                            objectName: "autoConnectSwitch"
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            checked: AppModel.autoConnect
                            onToggled: AppModel.autoConnect = checked
                            Accessible.name: autoLabel.text
                        }
                    }
                    Text {
                        width: parent.width - 6
                        text: qsTr("At launch Kestrova opens the default server (marked with the star). To use another server, disconnect first.")
                        color: Theme.textTertiary
                        font.pixelSize: Theme.footnoteSize
                        wrapMode: Text.WordWrap
                    }
                }
            }

            Text {
                objectName: "errorText"
                visible: AppModel.lastError.length > 0
                text: AppModel.lastError
                color: Theme.error
                font.pixelSize: Theme.calloutSize
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
                Layout.fillWidth: true
            }
        }
    }

    ServerEditSheet {
        id: editSheet
        objectName: "editSheet"
    }

    ConfirmDialog {
        id: deleteDialog
        objectName: "deleteDialog"
        title: root.deleting ? qsTr("Delete “%1”?").arg(root.deleting.displayName) : ""
        message: qsTr("The saved password and the camera settings for this server will be removed.")
        confirmText: qsTr("Delete")
        destructive: true
        onConfirmed: {
            const id = root.deleting ? root.deleting.idText : ""
            root.deleting = null
            if (id.length > 0)
                AppModel.deleteServer(id)
        }
        onCancelled: root.deleting = null
    }
}
