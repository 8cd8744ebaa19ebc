import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A form field with a leading symbol. Password fields get a control that shows the text.
Rectangle {
    id: root
    property string symbol
    property alias text: field.text
    property alias placeholder: field.placeholderText
    property bool password: false
    property alias inputMethodHints: field.inputMethodHints
    property alias field: field
    signal accepted()

    function forceFocus() { field.forceActiveFocus() }

    implicitHeight: Theme.controlHeight + 4
    implicitWidth: 360
    radius: Theme.fieldRadius
    color: field.activeFocus ? Qt.rgba(1, 1, 1, 0.1) : Theme.fillControl
    border.width: 1
    border.color: field.activeFocus ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.9) : Theme.hairline
    Behavior on border.color { ColorAnimation { duration: 120 } }

    Icon {
        id: lead
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: 22
        name: root.symbol
        size: 20
        color: field.activeFocus ? Theme.textPrimary : Theme.textTertiary
    }

    TextField {
        id: field
        property bool revealed: false
        anchors.left: lead.right
        anchors.right: reveal.visible ? reveal.left : parent.right
        anchors.leftMargin: 6
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.textPrimary
        placeholderTextColor: Theme.placeholder
        selectionColor: Theme.accent
        selectedTextColor: "white"
        font.pixelSize: Theme.calloutSize + 1
        echoMode: root.password && !revealed ? TextInput.Password : TextInput.Normal
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
        background: null
        leftPadding: 4
        rightPadding: 4
        Accessible.name: placeholderText
        onAccepted: root.accepted()
    }

    AbstractButton {
        id: reveal
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: root.password && field.text.length > 0
        width: 30
        height: 30
        hoverEnabled: true
        focusPolicy: Qt.NoFocus
        text: field.revealed ? qsTr("Hide password") : qsTr("Show password")
        Accessible.name: text
        onClicked: field.revealed = !field.revealed
        contentItem: Icon {
            name: field.revealed ? "eye.slash" : "eye"
            size: 18
            color: reveal.hovered ? Theme.textPrimary : Theme.textTertiary
        }
        background: null
    }
}
