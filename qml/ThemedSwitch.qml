import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// An on/off switch in the app's colours.
Switch {
    id: control
    padding: 4
    implicitWidth: indicator.implicitWidth + leftPadding + rightPadding
    implicitHeight: indicator.implicitHeight + topPadding + bottomPadding
    indicator: Rectangle {
        implicitWidth: 50
        implicitHeight: 30
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: height / 2
        color: control.checked ? Theme.accent : Qt.rgba(1, 1, 1, 0.16)
        border.width: control.visualFocus ? 2 : 0
        border.color: "white"
        Behavior on color { ColorAnimation { duration: 150 } }
        Rectangle {
            width: 26
            height: 26
            radius: 13
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: "white"
            Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
        }
    }
    contentItem: null
}
