import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kestrova

// "Go to time": hour, minute and second wheels; go(seconds since midnight) on "Go".
Popup {
    id: sheet
    signal go(int seconds)

    function openAt(hour, minute, second) {
        hours.currentIndex = hour
        minutes.currentIndex = minute
        seconds.currentIndex = second
        open()
        hours.forceActiveFocus()
    }
    function accept() {
        sheet.go(hours.currentIndex * 3600 + minutes.currentIndex * 60 + seconds.currentIndex)
        close()
    }

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    padding: 20
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.55) }
    background: Rectangle {
        radius: 16
        color: Theme.surfaceHigh
        border.width: 1
        border.color: Theme.hairline
    }

    component Wheel: Tumbler {
        id: wheel
        required property int range
        model: range
        visibleItemCount: 5
        implicitWidth: 64
        implicitHeight: 180
        wrap: true
        activeFocusOnTab: true
        Keys.onUpPressed: currentIndex = (currentIndex + range - 1) % range
        Keys.onDownPressed: currentIndex = (currentIndex + 1) % range
        Keys.onReturnPressed: sheet.accept()
        Keys.onEnterPressed: sheet.accept()
        delegate: Component {
            Text {
                required property int index
                required property var modelData
                text: ("0" + modelData).slice(-2)
                color: Theme.textPrimary
                font.pixelSize: Theme.titleSize
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                opacity: 1.0 - Math.abs(Tumbler.displacement) / (wheel.visibleItemCount / 2)
            }
        }
        Rectangle {
            anchors.centerIn: parent
            width: parent.width
            height: parent.height / wheel.visibleItemCount
            radius: 8
            color: "transparent"
            border.width: wheel.activeFocus ? 2 : 1
            border.color: wheel.activeFocus ? Theme.accent : Theme.hairline
        }
    }

    contentItem: ColumnLayout {
        spacing: 16
        Text {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Go to time")
            color: Theme.textPrimary
            font.pixelSize: Theme.bodySize
            font.weight: Font.DemiBold
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 6
            Wheel { id: hours; range: 24; Accessible.name: qsTr("Hours") }
            Text { text: ":"; color: Theme.textSecondary; font.pixelSize: Theme.titleSize }
            Wheel { id: minutes; range: 60; Accessible.name: qsTr("Minutes") }
            Text { text: ":"; color: Theme.textSecondary; font.pixelSize: Theme.titleSize }
            Wheel { id: seconds; range: 60; Accessible.name: qsTr("Seconds") }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            ActionButton {
                Layout.fillWidth: true
                text: qsTr("Cancel")
                onClicked: sheet.close()
            }
            ActionButton {
                Layout.fillWidth: true
                //: Button: jump to the chosen time.
                text: qsTr("Go")
                prominent: true
                onClicked: sheet.accept()
            }
        }
    }
}
