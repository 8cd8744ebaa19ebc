import QtQuick
import QtQuick.Layouts
import Kestrova

// A labelled row of the settings form: the label beside its control, or above it when the
// row is too narrow for both (or `stacked` is set). The control is the row's child.
// Usage: SettingsRow { label: qsTr("Username"); IconTextField { Layout.fillWidth: true } }
GridLayout {
    id: row
    property string label
    // Wide controls (text fields) go under their label below this row width, pixels.
    property real besideWidth: 0
    readonly property bool beside: width >= besideWidth

    Layout.fillWidth: true
    columns: beside ? 2 : 1
    columnSpacing: 16
    rowSpacing: 6

    Text {
        text: row.label
        color: Theme.textPrimary
        font.pixelSize: Theme.calloutSize + 1
        wrapMode: Text.WordWrap
        verticalAlignment: Text.AlignVCenter
        // A wrapped label can report a stale height for a pass; filling the row keeps it centred.
        Layout.fillHeight: true
        Layout.fillWidth: !row.beside || row.besideWidth === 0
        Layout.preferredWidth: row.beside && row.besideWidth > 0 ? 190 : -1
        Layout.alignment: Qt.AlignVCenter
    }
}
