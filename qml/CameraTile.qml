import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// One camera of the grid or the live screen's picker: its latest picture at the camera's aspect
// ratio, its name over it and, while the camera sends no pictures, the "Unavailable" cover. Enter
// or a click opens it; `marked` outlines the camera already shown. While the server does not
// answer, the picture is dimmed and tagged as no longer live.
AbstractButton {
    id: tile
    required property string name
    required property string friendlyName
    property real aspect: 16 / 9
    property bool available: true
    property bool marked: false
    // Height in pixels of the picture asked of the server, and of the name.
    property int pictureHeight: 360
    property int labelSize: 16

    implicitHeight: width / aspect
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    padding: 0
    text: friendlyName
    Accessible.name: available ? friendlyName : qsTr("%1, unavailable").arg(friendlyName)

    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Item {
        clip: true

        LiveSnapshot {
            anchors.fill: parent
            camera: tile.name
            pixelHeight: tile.pictureHeight
            stretch: true
        }

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: label.implicitHeight + 20
            gradient: Gradient {
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.55) }
            }
        }

        Rectangle {
            objectName: "staleCover"
            anchors.fill: parent
            visible: tile.available && AppModel.health.stale
            color: Qt.rgba(0, 0, 0, 0.5)

            Rectangle {
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.margins: 8
                width: staleRow.implicitWidth + 12
                height: staleRow.implicitHeight + 6
                radius: height / 2
                color: Qt.rgba(0, 0, 0, 0.65)
                Row {
                    id: staleRow
                    anchors.centerIn: parent
                    spacing: 4
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "clock.arrow.circlepath"
                        size: 12
                        color: "white"
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: qsTr("Not live")
                        color: "white"
                        font.pixelSize: 11
                        font.weight: Font.DemiBold
                    }
                }
            }
        }

        Rectangle {
            anchors.fill: parent
            visible: !tile.available
            color: Qt.rgba(0, 0, 0, 0.6)

            Row {
                anchors.centerIn: parent
                spacing: 6
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "video.slash"
                    size: 14
                    color: "white"
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Unavailable")
                    color: "white"
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                }
            }
        }

        Text {
            id: label
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 8
            text: tile.friendlyName
            color: "white"
            font.pixelSize: tile.labelSize
            font.bold: true
            elide: Text.ElideRight
            style: Text.Raised
            styleColor: Qt.rgba(0, 0, 0, 0.4)
        }
    }

    background: Rectangle {
        color: Theme.slate
        radius: 4
    }

    // Keyboard focus, the mark and hover, drawn over the picture.
    Rectangle {
        anchors.fill: parent
        z: 1
        color: tile.hovered && !tile.marked ? Qt.rgba(1, 1, 1, 0.06) : "transparent"
        border.width: tile.visualFocus || tile.marked ? 3 : 0
        border.color: Theme.accent
        radius: 4
    }
}
