import QtQuick
import QtQuick.Controls.Basic
import QtMultimedia
import Kestrova

// A camera live, pushed on the Cameras tab's StackView with `camera`, covering the tab bar.
// Chrome: back, the name and status line, previous/next; below, quality, sound, snapshot, the
// camera's recordings and alerts, the camera picker and immersive mode. The picker of the other
// cameras is a side column from 1000 px wide, a strip toggled from the bottom bar narrower.
// Keys: Esc leaves immersive mode, then the screen; ←/→ previous/next camera; M sound;
// F immersive; S snapshot; Q switches between the main stream and the substream.
FocusScope {
    id: root
    property string camera
    // Handed to the history screens pushed from here, which show the tab bar again.
    property real bottomInset: 0
    readonly property bool coversTabBar: true
    property StackView stack: StackView.view
    readonly property bool wide: width >= 1000
    property bool stripOpen: false
    readonly property bool sideColumn: wide && !vm.immersive
    readonly property bool strip: !wide && stripOpen && !vm.immersive
    readonly property bool chromeShown: vm.chromeVisible

    focus: true
    Component.onCompleted: forceActiveFocus()
    StackView.onActivated: forceActiveFocus()

    CameraLiveViewModel {
        id: vm
        appModel: AppModel
        cameraName: root.camera
    }

    function leave() {
        if (vm.back())
            stack.pop()
    }

    function openHistory(mode) {
        stack.push(historyScreen, { camera: vm.cameraName, mode: mode })
    }

    function toggleQuality() {
        if (vm.hasSubStream)
            vm.useSub = !vm.useSub
        else
            vm.showToast(qsTr("This camera has no substream"))
    }

    Component {
        id: historyScreen
        CameraHistoryScreen { bottomInset: root.bottomInset }
    }

    Keys.onPressed: (event) => {
        const actions = {
            [Qt.Key_Escape]: () => root.leave(),
            [Qt.Key_Left]: () => vm.step(-1),
            [Qt.Key_Right]: () => vm.step(1),
            [Qt.Key_M]: () => vm.toggleMuted(),
            [Qt.Key_F]: () => vm.toggleImmersive(),
            [Qt.Key_S]: () => vm.saveSnapshot(),
            [Qt.Key_Q]: () => root.toggleQuality(),
        }
        const action = actions[event.key]
        if (action === undefined || (event.modifiers & (Qt.ControlModifier | Qt.AltModifier)))
            return
        vm.showChrome()
        action()
        event.accepted = true
    }

    Rectangle {
        anchors.fill: parent
        color: "black"
    }

    Item {
        id: videoArea
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: root.sideColumn ? picker.left : parent.right

        // The latest picture stands in until the stream plays.
        LiveSnapshot {
            anchors.fill: parent
            visible: vm.liveStatus !== CameraLiveViewModel.Playing
            camera: vm.cameraName
            pixelHeight: 720
        }

        VideoOutput {
            id: liveVideo
            anchors.fill: parent
            fillMode: VideoOutput.PreserveAspectFit
        }

        LiveStreamView {
            id: stream
            appModel: AppModel
            camera: vm.cameraName
            stream: vm.streamName
            muted: vm.muted
            videoSink: liveVideo.videoSink
            // Covered by the history, on another tab or in a hidden window: let the stream go.
            active: root.visible && root.StackView.status === StackView.Active
        }
        Binding { target: vm; property: "liveStatus"; value: stream.status }
        Binding { target: vm; property: "liveText"; value: stream.statusText }

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.LeftButton
            onPositionChanged: vm.showChrome()
            onClicked: vm.showChrome()
            onDoubleClicked: vm.toggleImmersive()
            cursorShape: root.chromeShown ? Qt.ArrowCursor : Qt.BlankCursor
        }
    }

    Rectangle {
        id: topBar
        anchors.left: videoArea.left
        anchors.right: videoArea.right
        anchors.top: parent.top
        height: 76
        opacity: root.chromeShown ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: Theme.animationMs } }
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 0.7) }
            GradientStop { position: 1; color: "transparent" }
        }

        CapsuleBackButton {
            id: backButton
            anchors.left: parent.left
            anchors.leftMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            title: qsTr("Cameras")
            focusPolicy: Qt.NoFocus
            onClicked: root.leave()
        }

        Column {
            anchors.left: backButton.right
            anchors.leftMargin: 12
            anchors.right: stepRow.left
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                width: parent.width
                text: vm.friendlyName
                color: "white"
                font.pixelSize: Theme.bodySize
                font.bold: true
                elide: Text.ElideRight
            }
            Row {
                width: parent.width
                spacing: 6
                BusyIndicator {
                    anchors.verticalCenter: parent.verticalCenter
                    visible: vm.liveStatus === CameraLiveViewModel.Reconnecting
                    running: visible
                    padding: 0
                    width: 18
                    height: 18
                }
                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    visible: vm.liveStatus === CameraLiveViewModel.Error
                    name: "exclamationmark.triangle"
                    size: 14
                    color: Theme.accentWarm
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 22
                    text: vm.statusLine
                    color: Qt.rgba(1, 1, 1, 0.8)
                    font.pixelSize: Theme.footnoteSize
                    elide: Text.ElideRight
                }
            }
        }

        Row {
            id: stepRow
            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            CircleIconButton {
                systemName: "chevron.left.2"
                text: qsTr("Previous camera")
                focusPolicy: Qt.NoFocus
                onClicked: vm.step(-1)
            }
            CircleIconButton {
                systemName: "chevron.right.2"
                text: qsTr("Next camera")
                focusPolicy: Qt.NoFocus
                onClicked: vm.step(1)
            }
        }
    }

    CameraPickerGrid {
        id: stripPicker
        anchors.left: videoArea.left
        anchors.right: videoArea.right
        anchors.bottom: bottomBar.top
        anchors.margins: 8
        height: 96
        visible: root.strip && root.chromeShown
        horizontal: true
        current: vm.cameraName
        onSelected: (name) => vm.select(name)
    }

    Rectangle {
        id: bottomBar
        anchors.left: videoArea.left
        anchors.right: videoArea.right
        anchors.bottom: parent.bottom
        height: 72
        opacity: root.chromeShown ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: Theme.animationMs } }
        gradient: Gradient {
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.7) }
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.verticalCenter: parent.verticalCenter
            spacing: 10

            CircleIconButton {
                id: qualityButton
                systemName: "play.rectangle"
                //: Button choosing the live stream: main stream or substream.
                text: qsTr("Quality")
                focusPolicy: Qt.NoFocus
                onClicked: qualityMenu.open()
                ThemedMenu {
                    id: qualityMenu
                    y: -height - 6
                    ThemedMenuItem {
                        text: qsTr("High (main stream)")
                        checkable: true
                        checked: !vm.useSub
                        onTriggered: { vm.useSub = false; checked = Qt.binding(() => !vm.useSub) }
                    }
                    ThemedMenuItem {
                        text: qsTr("Reduced (substream)")
                        checkable: true
                        enabled: vm.hasSubStream
                        checked: vm.useSub
                        onTriggered: { vm.useSub = true; checked = Qt.binding(() => vm.useSub) }
                    }
                }
            }
            CircleIconButton {
                systemName: vm.muted ? "speaker.slash.fill" : "speaker.wave.2.fill"
                //: Button actions: turn the live sound on, or off.
                text: vm.muted ? qsTr("Sound on") : qsTr("Sound off")
                focusPolicy: Qt.NoFocus
                onClicked: vm.toggleMuted()
            }
            CircleIconButton {
                systemName: "camera.fill"
                text: vm.canSaveSnapshot ? qsTr("Save snapshot") : qsTr("Save snapshot (the camera is not sending pictures)")
                enabled: vm.canSaveSnapshot
                focusPolicy: Qt.NoFocus
                onClicked: vm.saveSnapshot()
            }
            CircleIconButton {
                systemName: "film.stack"
                text: qsTr("All recordings")
                focusPolicy: Qt.NoFocus
                onClicked: root.openHistory(CameraHistoryModel.Recordings)
            }
            CircleIconButton {
                systemName: "bolt"
                text: qsTr("Alerts")
                focusPolicy: Qt.NoFocus
                onClicked: root.openHistory(CameraHistoryModel.Alerts)
            }
            CircleIconButton {
                visible: !root.wide && !vm.immersive
                systemName: "video"
                text: root.stripOpen ? qsTr("Hide the other cameras") : qsTr("Show the other cameras")
                focusPolicy: Qt.NoFocus
                onClicked: root.stripOpen = !root.stripOpen
            }
            CircleIconButton {
                systemName: vm.immersive ? "arrow.down.right.and.arrow.up.left" : "arrow.up.left.and.arrow.down.right"
                text: vm.immersive ? qsTr("Leave immersive mode") : qsTr("Immersive mode")
                focusPolicy: Qt.NoFocus
                onClicked: vm.toggleImmersive()
            }
        }
    }

    Rectangle {
        id: picker
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 240
        visible: root.sideColumn
        color: Theme.surfaceDeep

        Text {
            id: pickerTitle
            x: 12
            y: 16
            text: qsTr("Cameras")
            color: Theme.textSecondary
            font.pixelSize: Theme.footnoteSize
            font.weight: Font.DemiBold
        }
        CameraPickerGrid {
            anchors.fill: parent
            anchors.topMargin: pickerTitle.y + pickerTitle.height + 8
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            current: vm.cameraName
            columns: 1
            onSelected: (name) => vm.select(name)
        }
    }

    Rectangle {
        id: toast
        anchors.horizontalCenter: videoArea.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: topBar.height + 12
        width: Math.min(videoArea.width - 32, toastRow.implicitWidth + 28)
        height: toastRow.implicitHeight + 18
        radius: height / 2
        color: Qt.rgba(0, 0, 0, 0.78)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
        opacity: vm.toast.length > 0 ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: Theme.animationMs } }

        Row {
            id: toastRow
            anchors.centerIn: parent
            spacing: 12
            Text {
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth, videoArea.width - 200)
                text: vm.toast
                color: "white"
                font.pixelSize: Theme.calloutSize
                elide: Text.ElideMiddle
            }
            Repeater {
                model: toast.visible && vm.toastPath.length > 0 ? 2 : 0
                delegate: Text {
                    required property int index
                    anchors.verticalCenter: parent.verticalCenter
                    text: index === 0 ? qsTr("Show in folder") : qsTr("Copy path")
                    color: Theme.accent
                    font.pixelSize: Theme.calloutSize
                    font.weight: Font.DemiBold
                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: index === 0 ? DesktopFiles.showInFolder(vm.toastPath) : DesktopFiles.copyPath(vm.toastPath)
                    }
                }
            }
        }
    }
}
