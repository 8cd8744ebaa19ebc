import QtQuick
import QtQuick.Controls
import Kestrova

// The login form over the picker, for adding a server (server null) or editing one.
Popup {
    id: sheet
    property var server: null

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(560, parent ? parent.width - 32 : 560)
    height: Math.min(form.item ? form.item.implicitHeight : 600, parent ? parent.height - 32 : 780)
    modal: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape

    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.6) }

    background: Rectangle {
        radius: 20
        gradient: Theme.backdrop
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: Theme.animationMs; easing.type: Easing.InOutQuad }
        NumberAnimation { property: "y"; from: sheet.y + 40; to: sheet.y; duration: Theme.animationMs; easing.type: Easing.OutQuad }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 150 }
    }

    contentItem: Loader {
        id: form
        // A fresh form each time the sheet opens, with the fields of the server it edits.
        active: sheet.visible
        sourceComponent: LoginView {
            compactLogo: true
            server: sheet.server
            onCancel: function () { sheet.close() }
        }
    }
}
