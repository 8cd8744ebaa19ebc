import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The recording player of a PlayerRequest (interim: the full player replaces this body).
//   request: a PlayerRequest made by a screen's view-model (opaque in QML).
//   inPane: shown beside a list; the close button closes the pane, the controls never hide and a
//   full-screen button hands the request on through fullScreenRequested.
Rectangle {
    id: screen
    property var request
    property bool inPane: false
    signal closeRequested()
    signal indexReported(int index)
    signal fullScreenRequested(var request)

    color: "black"

    Text {
        anchors.centerIn: parent
        color: "white"
        text: screen.request ? screen.request.count + " items" : ""
    }
    Button {
        anchors.right: parent.right
        anchors.top: parent.top
        text: qsTr("Close")
        onClicked: screen.closeRequested()
    }
}
