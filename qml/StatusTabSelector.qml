import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The status screen's sub-tabs as a segmented row; the selected one is highlighted.
Rectangle {
    id: root
    property var titles: []
    property int selected: 0
    signal activated(int tab)

    implicitHeight: 38
    radius: Theme.fieldRadius
    color: Theme.fillControl

    Row {
        anchors.fill: parent
        anchors.margins: 3
        Repeater {
            model: root.titles
            delegate: AbstractButton {
                id: segment
                required property int index
                required property string modelData
                width: (root.width - 6) / root.titles.length
                height: parent.height
                focusPolicy: Qt.TabFocus
                hoverEnabled: true
                checkable: false
                text: modelData
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData
                Accessible.selected: root.selected === index
                onClicked: root.activated(index)
                background: Rectangle {
                    radius: Theme.fieldRadius - 2
                    color: root.selected === segment.index ? Theme.accent
                         : segment.hovered || segment.visualFocus ? Theme.fillSubtle : "transparent"
                }
                contentItem: Text {
                    text: segment.text
                    color: root.selected === segment.index ? "white" : Theme.textSecondary
                    font.pixelSize: 15
                    font.weight: Font.Medium
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                }
            }
        }
    }
}
