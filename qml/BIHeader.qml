import QtQuick
import QtQuick.Layouts
import Kestrova

// The bar at the top of a screen: leading controls, the title, trailing controls.
// Usage: BIHeader { title: qsTr("Alerts"); trailing: CircleIconButton { ... } }
Item {
    id: root
    property string title
    property alias leading: leadingRow.data
    property alias trailing: trailingRow.data
    // Set where the platform draws its own bar above the screen; none does on this platform.
    property bool systemTopBar: false

    implicitHeight: Theme.headerHeight
    implicitWidth: layout.implicitWidth

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: Theme.margin
        anchors.rightMargin: Theme.margin
        spacing: Theme.spacing

        Row {
            id: leadingRow
            spacing: 8
            visible: children.length > 0
            Layout.alignment: Qt.AlignVCenter
        }
        Text {
            text: root.title
            color: Theme.textPrimary
            font.pixelSize: Theme.titleSize
            font.weight: Font.Bold
            elide: Text.ElideRight
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Row {
            id: trailingRow
            spacing: 8
            visible: children.length > 0
            Layout.alignment: Qt.AlignVCenter
        }
    }
}
