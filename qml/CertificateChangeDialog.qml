import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kestrova

// The server showed another certificate than the one trusted so far: both fingerprints, to
// compare with the server's own, and the choice to trust the new one (after a confirmation)
// or to disconnect.
Popup {
    id: dialog
    readonly property var health: AppModel.health

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(600, (parent ? parent.width : 600) - 40)
    modal: true
    focus: true
    padding: 22
    closePolicy: Popup.CloseOnEscape

    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.55) }

    background: Rectangle {
        radius: 16
        color: Theme.surfaceHigh
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }

    // One fingerprint under its caption, selectable for copying.
    component Fingerprint: ColumnLayout {
        property alias caption: captionText.text
        property alias value: valueText.text
        spacing: 4
        Layout.fillWidth: true
        Text {
            id: captionText
            color: Theme.textSecondary
            font.pixelSize: Theme.footnoteSize
            Layout.fillWidth: true
        }
        TextEdit {
            id: valueText
            readOnly: true
            selectByMouse: true
            color: Theme.textPrimary
            selectionColor: Theme.accent
            font.family: "monospace"
            font.pixelSize: Theme.calloutSize
            Layout.fillWidth: true
            Accessible.role: Accessible.StaticText
            Accessible.name: captionText.text + " " + text
        }
    }

    contentItem: ColumnLayout {
        spacing: 14
        Text {
            text: qsTr("The server's certificate has changed.")
            color: Theme.textPrimary
            font.pixelSize: Theme.bodySize + 1
            font.weight: Font.DemiBold
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        Text {
            text: qsTr("If the server was reinstalled or its certificate renewed, this is expected. Otherwise someone may be intercepting the connection: compare the fingerprints with the server's before trusting the new one.")
            color: Theme.textSecondary
            font.pixelSize: Theme.calloutSize
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        Fingerprint {
            objectName: "pinnedFingerprint"
            caption: qsTr("Trusted until now (SHA-256)")
            value: dialog.health.pinnedFingerprint
        }
        Fingerprint {
            objectName: "offeredFingerprint"
            caption: qsTr("Offered now (SHA-256)")
            value: dialog.health.offeredFingerprint
        }
        Flow {
            spacing: 10
            Layout.topMargin: 6
            Layout.fillWidth: true
            layoutDirection: Qt.RightToLeft
            ActionButton {
                objectName: "trustButton"
                text: qsTr("Trust the new certificate")
                prominent: true
                onClicked: confirm.open()
            }
            ActionButton {
                text: qsTr("Disconnect")
                destructive: true
                onClicked: {
                    dialog.close()
                    AppModel.disconnect()
                }
            }
            ActionButton {
                text: qsTr("Close")
                onClicked: dialog.close()
            }
        }
    }

    ConfirmDialog {
        id: confirm
        title: qsTr("Trust the new certificate?")
        message: qsTr("From now on Kestrova will accept only the new certificate from this server.")
        confirmText: qsTr("Trust")
        onConfirmed: AppModel.trustNewCertificate()
    }
}
