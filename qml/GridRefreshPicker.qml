import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The grid refresh rate as a button that opens the rates in a menu; the same entries as the
// Cameras menu (GridRefreshChoices).
AbstractButton {
    id: control
    // [{seconds, text, chosen}]
    property var choices: []
    property string currentText
    signal chosen(real seconds)

    hoverEnabled: true
    implicitHeight: Theme.controlHeight - 6
    leftPadding: 14
    rightPadding: 10
    text: currentText
    Accessible.name: qsTr("Grid refresh: %1").arg(currentText)
    Accessible.role: Accessible.ComboBox
    onClicked: menu.open()

    contentItem: Row {
        spacing: 6
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: control.currentText
            color: Theme.textPrimary
            font.pixelSize: Theme.calloutSize + 1
        }
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "chevron.down"
            size: 18
            color: Theme.textTertiary
        }
    }
    background: Rectangle {
        radius: Theme.fieldRadius
        color: control.down ? Theme.fillPressed : control.hovered ? Theme.fillHover : Theme.fillControl
        border.width: control.visualFocus ? 2 : 1
        border.color: control.visualFocus ? Theme.accent : Theme.hairline
    }

    ThemedMenu {
        id: menu
        y: control.height + 4
        x: control.width - width
        // Rebuilt whenever the rate changes.
        Instantiator {
            model: control.choices
            delegate: ThemedMenuItem {
                required property var modelData
                text: modelData.text
                checkable: true
                checked: modelData.chosen
                onTriggered: {
                    control.chosen(modelData.seconds)
                    // Clicking the chosen rate again must not clear its mark.
                    checked = Qt.binding(() => modelData.chosen)
                }
            }
            onObjectAdded: (index, object) => menu.insertItem(index, object)
            onObjectRemoved: (index, object) => menu.removeItem(object)
        }
    }
}
