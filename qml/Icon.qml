import QtQuick
import Kestrova

// A symbol drawn from the icon font by its symbol name ("house.fill", "chevron.left", ...).
Text {
    id: icon
    property string name
    property real size: 20

    text: Icons.glyph(name)
    font.family: Icons.fontFamily
    font.pixelSize: size
    color: Theme.textPrimary
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    renderType: Text.QtRendering
    Accessible.ignored: true
}
