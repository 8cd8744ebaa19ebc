import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The form for a new server (server absent) or for editing one, and its "Connect".
Item {
    id: root
    // The edited server (a ServerSettings value), or null for a new one.
    property var server: null
    // When set, the form offers "Cancel", which calls it.
    property var onCancel: null
    property alias name: nameField.text
    property alias internalURL: internalField.text
    property alias externalURL: externalField.text
    property alias user: userField.text
    property alias password: passwordField.text
    property string error: ""
    // The Connect task is running.
    property bool busy: false
    property bool passwordSaved: false
    // The id this form stored a new server under, so a second attempt updates that server.
    property string storedId: server ? server.idText : ""

    property bool compactLogo: height < 720

    implicitWidth: 500
    implicitHeight: column.implicitHeight + 2 * column.y

    Component.onCompleted: {
        nameField.forceFocus()
        if (!server)
            return
        name = server.serverName
        internalURL = server.internalURL
        externalURL = server.externalURL
        user = server.username
        AppModel.hasSavedPassword(server.idText).then(function (saved) { root.passwordSaved = saved })
    }

    function connect() {
        if (busy)
            return
        if (internalURL.trim().length === 0 && externalURL.trim().length === 0) {
            error = qsTr("Enter the local or the remote address of the server.")
            internalField.forceFocus()
            return
        }
        error = ""
        busy = true
        const fields = {
            serverName: name,
            internalURL: internalURL,
            externalURL: externalURL,
            username: user,
            password: password
        }
        if (storedId.length > 0)
            fields.id = storedId
        AppModel.saveServerAndConnect(fields).then(function (outcome) {
            root.storedId = outcome.id
            root.error = outcome.error
            root.busy = false
        })
    }

    FocusFollowingFlickable {
        id: flick
        anchors.fill: parent
        contentHeight: Math.max(height, column.implicitHeight + 2 * column.y)

        ColumnLayout {
            id: column
            y: root.compactLogo ? 20 : 40
            x: (flick.width - width) / 2
            width: Math.min(460, flick.width - 40)
            spacing: 14

            LogoBlock {
                compact: root.compactLogo
                Layout.alignment: Qt.AlignHCenter
                Layout.bottomMargin: root.compactLogo ? 4 : 12
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 4
                Text {
                    text: root.server ? root.server.displayName : qsTr("New server")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.titleSize
                    font.weight: Font.Bold
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                ActionButton {
                    visible: root.onCancel !== null
                    text: qsTr("Cancel")
                    onClicked: root.onCancel()
                }
            }

            IconTextField {
                id: nameField
                symbol: "house"
                placeholder: qsTr("Site name")
                Layout.fillWidth: true
                onAccepted: root.connect()
            }
            IconTextField {
                id: internalField
                symbol: "wifi"
                placeholder: qsTr("Local network address")
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                Layout.fillWidth: true
                onAccepted: root.connect()
            }
            IconTextField {
                id: externalField
                symbol: "globe"
                placeholder: qsTr("Remote address")
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                Layout.fillWidth: true
                onAccepted: root.connect()
            }
            IconTextField {
                id: userField
                symbol: "person"
                placeholder: qsTr("Frigate username")
                Layout.fillWidth: true
                onAccepted: root.connect()
            }
            IconTextField {
                id: passwordField
                symbol: "lock"
                password: true
                placeholder: root.passwordSaved ? qsTr("Password (saved)") : qsTr("Password")
                Layout.fillWidth: true
                onAccepted: root.connect()
            }

            Text {
                text: qsTr("The local address is tried first, then the remote one.\nUse the same login as the Frigate web interface; leave username and password empty if authentication is disabled.")
                color: Theme.textTertiary
                font.pixelSize: Theme.footnoteSize
                wrapMode: Text.WordWrap
                lineHeight: 1.15
                Layout.fillWidth: true
            }

            Text {
                visible: AppModel.secretStoreAvailable === false
                text: qsTr("This system has no password keyring running: the password is used for this session only and will not be saved.")
                color: Theme.detection
                font.pixelSize: Theme.footnoteSize
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }

            ActionButton {
                objectName: "connectButton"
                text: AppModel.isConnecting ? qsTr("Connecting…") : qsTr("Connect")
                prominent: true
                busy: AppModel.isConnecting
                enabled: !root.busy
                Layout.fillWidth: true
                Layout.topMargin: 4
                onClicked: root.connect()
            }

            Text {
                objectName: "errorText"
                visible: root.error.length > 0
                text: root.error
                color: Theme.error
                font.pixelSize: Theme.calloutSize
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
                Layout.fillWidth: true
            }

            Item { Layout.preferredHeight: 20 }
        }
    }
}
