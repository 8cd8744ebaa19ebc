import QtQuick
import QtQuick.Layouts
import Kestrova

// Across the top of every tab while the signed-in server does not answer as it should: what
// happened and what can be done about it. Hidden (no height) while the connection is fine.
Rectangle {
    id: banner
    readonly property var health: AppModel.health
    readonly property string problem: health.state
    readonly property bool shown: problem !== "ok"

    objectName: "connectionBanner"
    visible: shown
    implicitHeight: shown ? row.implicitHeight + 20 : 0
    color: problem === "lost" ? Qt.rgba(120 / 255, 82 / 255, 20 / 255, 0.97) : Qt.rgba(128 / 255, 34 / 255, 44 / 255, 0.97)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: message.text

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Qt.rgba(1, 1, 1, 0.15)
    }

    RowLayout {
        id: row
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        spacing: 12

        Icon {
            name: ({ lost: "wifi", signedOut: "person" })[banner.problem] || "lock"
            size: 20
            color: "white"
        }
        Column {
            Layout.fillWidth: true
            spacing: 2
            Text {
                id: message
                width: parent.width
                text: banner.problem === "lost" ? qsTr("Connection to the server lost.")
                    : banner.problem === "signedOut" ? qsTr("Your sign-in has expired.")
                    : qsTr("The server's certificate has changed.")
                color: "white"
                font.pixelSize: Theme.calloutSize
                font.weight: Font.DemiBold
                wrapMode: Text.WordWrap
            }
            Text {
                width: parent.width
                visible: text.length > 0
                text: banner.health.lastUpdated
                color: Qt.rgba(1, 1, 1, 0.75)
                font.pixelSize: Theme.footnoteSize
                elide: Text.ElideRight
            }
        }
        ActionButton {
            objectName: "bannerAction"
            text: banner.problem === "lost" ? qsTr("Retry")
                : banner.problem === "signedOut" ? qsTr("Sign in again") : qsTr("Details…")
            busy: banner.health.checking
            enabled: !banner.health.checking
            onClicked: {
                if (banner.problem === "lost")
                    AppModel.retry()
                else if (banner.problem === "signedOut")
                    AppModel.signInAgain()
                else
                    certificateDialog.open()
            }
        }
    }

    CertificateChangeDialog {
        id: certificateDialog
        // Trusting it or the server answering again ends the question.
        readonly property bool stillAsked: banner.problem === "certificateChanged"
        onStillAskedChanged: if (!stillAsked) close()
    }
}
