import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A round icon button. `text` names the action for tooltips and assistive technology.
AbstractButton {
    id: control
    property string systemName
    property bool inSystemBar: false
    property color iconColor: Theme.textPrimary

    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    padding: 0
    implicitWidth: contentItem.implicitWidth
    implicitHeight: contentItem.implicitHeight
    Accessible.name: text

    contentItem: CircleIcon {
        systemName: control.systemName
        inSystemBar: control.inSystemBar
        color: control.enabled ? control.iconColor : Theme.placeholder
        highlighted: control.hovered || control.visualFocus
        pressed: control.down
    }
    background: null

    ToolTip.visible: hovered && text.length > 0
    ToolTip.text: text
    ToolTip.delay: 600
}
