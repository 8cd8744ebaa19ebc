import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kestrova

// A modal question with a confirming button (red when destructive) and "Cancel".
Popup {
    id: dialog
    property string title
    property string message
    property string confirmText
    property bool destructive: false
    signal confirmed()
    signal cancelled()

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(420, (parent ? parent.width : 420) - 40)
    modal: true
    focus: true
    padding: 22
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    onClosed: if (!accepting) cancelled()
    onOpened: { accepting = false; cancelButton.forceActiveFocus() }
    property bool accepting: false

    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.55) }

    background: Rectangle {
        radius: 16
        color: Theme.surfaceHigh
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 150 }
        NumberAnimation { property: "scale"; from: 0.95; to: 1; duration: 150; easing.type: Easing.OutQuad }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 100 }
    }

    contentItem: ColumnLayout {
        spacing: 14
        Text {
            visible: dialog.title.length > 0
            text: dialog.title
            color: Theme.textPrimary
            font.pixelSize: Theme.bodySize + 1
            font.weight: Font.DemiBold
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        Text {
            visible: dialog.message.length > 0
            text: dialog.message
            color: Theme.textSecondary
            font.pixelSize: Theme.calloutSize
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        RowLayout {
            spacing: 10
            Layout.topMargin: 6
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            ActionButton {
                id: cancelButton
                objectName: "cancelButton"
                text: qsTr("Cancel")
                onClicked: dialog.close()
            }
            ActionButton {
                objectName: "confirmButton"
                text: dialog.confirmText
                destructive: dialog.destructive
                prominent: !dialog.destructive
                onClicked: {
                    dialog.accepting = true
                    dialog.close()
                    dialog.confirmed()
                }
            }
        }
    }
}
