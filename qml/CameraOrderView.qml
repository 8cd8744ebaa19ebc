import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The camera order editor, pushed from Settings: the cameras as the grid shows them, each move
// stored at once. A row is dragged with the mouse; with the keyboard ↑/↓ select a camera and
// Alt+↑/Alt+↓ move it. Esc or Backspace goes back.
FocusScope {
    id: root
    property real bottomInset: 0
    property StackView stack: StackView.view

    function goBack() {
        if (stack)
            stack.pop()
    }

    // Moves the selected camera by `delta` rows and keeps it selected.
    function moveSelected(delta) {
        const from = list.currentIndex
        if (order.move(from, from + delta))
            list.currentIndex = from + delta
    }

    Component.onCompleted: list.forceActiveFocus()
    StackView.onActivated: list.forceActiveFocus()

    Keys.onEscapePressed: goBack()
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Backspace) {
            goBack()
            event.accepted = true
        }
    }

    CameraOrderModel {
        id: order
        appModel: AppModel
    }

    BIHeader {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        title: qsTr("Camera order")
        leading: CapsuleBackButton {
            title: qsTr("Settings")
            focusPolicy: Qt.NoFocus
            onClicked: root.goBack()
        }
    }

    Text {
        id: hint
        anchors.top: header.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: list.width
        visible: order.count > 1
        text: qsTr("Drag a camera to move it, or select it and press Alt+↑ or Alt+↓.")
        color: Theme.textTertiary
        font.pixelSize: Theme.footnoteSize
        wrapMode: Text.WordWrap
    }

    Text {
        anchors.centerIn: parent
        visible: order.count === 0
        text: qsTr("No cameras.")
        color: Theme.textSecondary
        font.pixelSize: Theme.calloutSize
    }

    ListView {
        id: list
        anchors.top: hint.bottom
        anchors.topMargin: 10
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(640, parent.width - 2 * Theme.margin)
        clip: true
        model: order
        spacing: 4
        focus: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        bottomMargin: root.bottomInset + 12
        highlightMoveDuration: 0
        ScrollBar.vertical: ScrollBar {}
        Accessible.role: Accessible.List
        Accessible.name: qsTr("Camera order")

        Keys.onUpPressed: event => {
            if (event.modifiers & Qt.AltModifier)
                root.moveSelected(-1)
            else
                event.accepted = false
        }
        Keys.onDownPressed: event => {
            if (event.modifiers & Qt.AltModifier)
                root.moveSelected(1)
            else
                event.accepted = false
        }

        delegate: CameraOrderRow {
            width: list.width
            selected: ListView.isCurrentItem
            showFocus: list.activeFocus
            onDragStarted: {
                list.currentIndex = index
                list.forceActiveFocus()
            }
            // Each row the pointer reaches takes the dragged camera's place.
            onDraggedTo: point => {
                const at = mapToItem(list.contentItem, point.x, point.y)
                const to = list.indexAt(at.x, at.y)
                if (to >= 0 && to !== index && order.move(index, to))
                    list.currentIndex = to
            }
        }
    }
}
