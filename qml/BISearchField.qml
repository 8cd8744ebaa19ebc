import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A search field: magnifying glass, the text, and a control that clears it.
Rectangle {
    id: root
    property string placeholder
    property alias text: field.text
    readonly property bool focused: field.activeFocus

    function forceFocus() { field.forceActiveFocus() }

    implicitHeight: 40
    implicitWidth: 320
    radius: Theme.fieldRadius
    color: Theme.fillControl
    border.width: 1
    border.color: field.activeFocus ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.8) : Theme.hairline

    Icon {
        id: glass
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        name: "magnifyingglass"
        size: 18
        color: Theme.placeholder
    }

    TextField {
        id: field
        anchors.left: glass.right
        anchors.right: clear.visible ? clear.left : parent.right
        anchors.leftMargin: 4
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        placeholderText: root.placeholder
        placeholderTextColor: Theme.placeholder
        color: Theme.textPrimary
        selectionColor: Theme.accent
        selectedTextColor: "white"
        font.pixelSize: Theme.calloutSize
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
        background: null
        leftPadding: 4
        rightPadding: 4
        Accessible.name: root.placeholder
        Keys.onEscapePressed: (event) => {
            if (text.length === 0) {
                event.accepted = false
                return
            }
            text = ""
        }
    }

    AbstractButton {
        id: clear
        objectName: "clearButton"
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: field.text.length > 0
        width: 24
        height: 24
        focusPolicy: Qt.NoFocus
        Accessible.name: qsTr("Clear")
        contentItem: Icon {
            name: "xmark.circle.fill"
            size: 18
            color: clear.hovered ? Theme.textPrimary : Theme.placeholder
        }
        background: null
        hoverEnabled: true
        onClicked: {
            field.text = ""
            field.forceActiveFocus()
        }
    }
}
