import QtQuick
import QtQuick.Layouts
import Kestrova

// One titled group of the settings form: the title over a card that stacks its rows.
// Usage: SettingsSection { title: qsTr("Alerts"); SettingsRow { ... } }
ColumnLayout {
    id: section
    property string title
    default property alias rows: card.data

    spacing: 8

    Text {
        text: section.title
        color: Theme.textSecondary
        font.pixelSize: Theme.footnoteSize
        font.weight: Font.DemiBold
        Layout.leftMargin: 4
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: card.implicitHeight + 2 * card.anchors.margins
        radius: Theme.cardRadius
        color: Theme.fillSubtle
        border.width: 1
        border.color: Theme.hairline

        ColumnLayout {
            id: card
            anchors.fill: parent
            anchors.margins: 14
            spacing: 12
        }
    }
}
