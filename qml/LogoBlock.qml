import QtQuick
import Kestrova

// The app's mark, name and tag line; a smaller single row when compact.
Item {
    id: root
    property bool compact: false

    implicitWidth: compact ? compactRow.implicitWidth : full.implicitWidth
    implicitHeight: compact ? compactRow.implicitHeight : full.implicitHeight

    component Mark: Rectangle {
        id: mark
        property real size: 88
        width: size
        height: size
        radius: size * 0.26
        gradient: Gradient {
            orientation: Gradient.Vertical
            GradientStop { position: 0.0; color: Qt.lighter(Theme.accent, 1.25) }
            GradientStop { position: 1.0; color: Theme.surface }
        }
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.18)
        Icon {
            anchors.centerIn: parent
            name: "camera.aperture"
            size: mark.size * 0.58
            color: "white"
        }
        RecDot {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: mark.size * 0.14
            size: mark.size * 0.14
            active: true
        }
    }

    Column {
        id: full
        visible: !root.compact
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 10
        Mark {
            anchors.horizontalCenter: parent.horizontalCenter
            size: 88
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Kestrova"
            color: Theme.textPrimary
            font.pixelSize: Theme.largeTitleSize
            font.weight: Font.Bold
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            //: Subtitle under the product name "Kestrova".
            text: qsTr("client for Frigate NVR")
            color: Theme.textSecondary
            font.pixelSize: Theme.calloutSize
        }
    }

    Row {
        id: compactRow
        visible: root.compact
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 12
        Mark {
            anchors.verticalCenter: parent.verticalCenter
            size: 44
        }
        Column {
            anchors.verticalCenter: parent.verticalCenter
            Text {
                text: "Kestrova"
                color: Theme.textPrimary
                font.pixelSize: Theme.titleSize
                font.weight: Font.Bold
            }
            Text {
                text: qsTr("client for Frigate NVR")
                color: Theme.textSecondary
                font.pixelSize: Theme.footnoteSize
            }
        }
    }
}
