import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A text button, optionally with a leading symbol: filled with the accent (prominent),
// red (destructive) or a translucent well.
AbstractButton {
    id: control
    property string symbol
    property bool prominent: false
    property bool destructive: false
    property bool busy: false

    hoverEnabled: true
    implicitHeight: Theme.controlHeight
    implicitWidth: Math.max(96, row.implicitWidth + leftPadding + rightPadding)
    leftPadding: 18
    rightPadding: 18
    Accessible.name: text

    readonly property color fillColor: prominent ? Theme.accent : destructive ? Theme.error : Theme.fillControl

    contentItem: Item {
        Row {
            id: row
            anchors.centerIn: parent
            spacing: 8
            BusyIndicator {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.busy
                running: visible
                width: 22
                height: 22
            }
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                visible: control.symbol.length > 0 && !control.busy
                name: control.symbol
                size: 18
                color: label.color
            }
            Text {
                id: label
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                color: control.enabled ? "white" : Theme.placeholder
                font.pixelSize: Theme.calloutSize + 1
                font.weight: control.prominent || control.destructive ? Font.DemiBold : Font.Normal
            }
        }
    }

    background: Rectangle {
        radius: Theme.fieldRadius
        color: !control.enabled ? Theme.fillSubtle
             : control.down ? Qt.darker(control.fillColor, 1.25)
             : control.hovered ? Qt.lighter(control.fillColor, control.prominent || control.destructive ? 1.12 : 1.6)
             : control.fillColor
        border.width: control.prominent || control.destructive ? 0 : 1
        border.color: Theme.hairline
        Behavior on color { ColorAnimation { duration: 120 } }
        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: parent.radius + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
            visible: control.visualFocus
        }
    }
}
