import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Kestrova

// The recording player of a PlayerRequest: picture with boxes, scrub bar, transport, speed,
// sound, boxes, time jump, snapshot, clip and "Mark as unseen", with the keyboard of the
// players people know.
//   request: a PlayerRequest made by a screen's view-model (opaque in QML).
//   inPane: shown beside a list; the close button closes the pane, the controls never hide and a
//   full-screen button hands the request on through fullScreenRequested.
FocusScope {
    id: screen
    property var request
    property bool inPane: false
    signal closeRequested()
    signal indexReported(int index)
    signal fullScreenRequested(var request)

    readonly property PlayerController controller: model.controller

    focus: true
    Component.onCompleted: model.start()
    Component.onDestruction: model.stop()

    VideoPlayerModel {
        id: model
        appModel: AppModel
        request: screen.request
        inPane: screen.inPane
        onIndexReported: index => screen.indexReported(index)
    }

    Rectangle {
        anchors.fill: parent
        color: "black"
    }

    PlayerSurface {
        id: surface
        anchors.fill: parent
        controller: screen.controller
        tracks: model.tracks
        time: model.shownWallTime
        showBoxes: AppModel.showBoxes
        onRetryRequested: model.retry()
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: model.controlsVisible ? Qt.ArrowCursor : Qt.BlankCursor
        onPositionChanged: model.showControls()
        onClicked: { screen.forceActiveFocus(); model.showControls() }
        onDoubleClicked: screen.controller.togglePlay()
        // While paused the wheel walks through the pictures, one per notch.
        onWheel: wheel => {
            if (screen.controller.isPlaying || wheel.angleDelta.y === 0)
                return
            screen.controller.stepFrame(wheel.angleDelta.y < 0 ? 1 : -1)
        }
    }

    component Shade: Rectangle {
        id: shade
        property bool fromTop: true
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(0, 0, 0, shade.fromTop ? 0.7 : 0) }
            GradientStop { position: 1.0; color: Qt.rgba(0, 0, 0, shade.fromTop ? 0 : 0.75) }
        }
    }

    Item {
        id: chrome
        anchors.fill: parent
        opacity: model.controlsVisible ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: Theme.animationMs } }

        Shade {
            anchors { left: parent.left; right: parent.right; top: parent.top }
            height: topBar.height + 40
        }
        Shade {
            fromTop: false
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            height: bottomBar.height + 50
        }

        RowLayout {
            id: topBar
            anchors { left: parent.left; right: parent.right; top: parent.top; margins: 14 }
            spacing: 10
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    Layout.fillWidth: true
                    //: Player title: "Front door · 2 of 5" (camera, position, count).
                    text: model.count > 1 ? qsTr("%1 · %2 of %3").arg(model.title).arg(model.index + 1).arg(model.count)
                                          : model.title
                    color: Theme.textPrimary
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                }
                Text {
                    Layout.fillWidth: true
                    text: model.momentText
                    color: Theme.textSecondary
                    font.pixelSize: Theme.footnoteSize
                    elide: Text.ElideRight
                }
            }
            CircleIconButton {
                visible: model.hasReview
                systemName: "ellipsis"
                //: Button opening the menu of further actions.
                text: qsTr("More")
                onClicked: moreMenu.popup()
                ThemedMenu {
                    id: moreMenu
                    ThemedMenuItem {
                        text: qsTr("Mark as unseen")
                        symbol: "circle.fill"
                        onTriggered: model.markUnseen()
                    }
                }
            }
            CircleIconButton {
                visible: screen.inPane
                systemName: "arrow.up.left.and.arrow.down.right"
                text: qsTr("Full screen")
                onClicked: screen.fullScreenRequested(model.fullScreenRequest())
            }
            CircleIconButton {
                systemName: "xmark"
                text: qsTr("Close")
                onClicked: screen.closeRequested()
            }
        }

        ColumnLayout {
            id: bottomBar
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom; margins: 10 }
            spacing: 4

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 15
                Layout.rightMargin: 15
                Text {
                    text: model.positionText
                    color: Theme.textPrimary
                    font.pixelSize: Theme.footnoteSize
                }
                Item { Layout.fillWidth: true }
                Text {
                    text: model.totalText
                    color: Theme.textSecondary
                    font.pixelSize: Theme.footnoteSize
                }
            }
            ScrubBar {
                Layout.fillWidth: true
                value: model.position
                total: screen.controller.duration
                onChanged: value => model.scrub(value)
                onEnded: value => model.endScrub(value)
            }
            Flow {
                id: transport
                Layout.fillWidth: true
                Layout.leftMargin: 10
                Layout.rightMargin: 10
                spacing: 8
                layoutDirection: Qt.LeftToRight

                CircleIconButton {
                    systemName: "backward.end"
                    //: Button: play the previous alert.
                    text: qsTr("Previous")
                    enabled: model.index > 0
                    onClicked: model.step(-1)
                }
                CircleIconButton {
                    systemName: "gobackward.10"
                    text: qsTr("Back 10 seconds")
                    onClicked: model.skip(-10)
                }
                CircleIconButton {
                    systemName: screen.controller.isPlaying ? "pause.fill" : "play.fill"
                    text: screen.controller.isPlaying ? qsTr("Pause") : qsTr("Play")
                    onClicked: screen.controller.togglePlay()
                }
                CircleIconButton {
                    systemName: "goforward.10"
                    text: qsTr("Forward 10 seconds")
                    onClicked: model.skip(10)
                }
                CircleIconButton {
                    systemName: "forward.end"
                    //: Button: play the next alert.
                    text: qsTr("Next")
                    enabled: model.index < model.count - 1
                    onClicked: model.step(1)
                }
                AbstractButton {
                    id: speed
                    implicitWidth: Math.max(Theme.circleIconSize, label.implicitWidth + 20)
                    implicitHeight: Theme.circleIconSize
                    hoverEnabled: true
                    //: Playback speed, e.g. 2×.
                    text: qsTr("Speed")
                    Accessible.name: text + " " + model.rateLabel
                    onClicked: screen.controller.cycleRate()
                    background: Rectangle {
                        radius: height / 2
                        color: speed.down ? Theme.fillPressed : speed.hovered ? Theme.fillHover : Theme.fillControl
                        border.width: 1
                        border.color: Theme.hairline
                    }
                    contentItem: Text {
                        id: label
                        text: model.rateLabel
                        color: Theme.textPrimary
                        font.pixelSize: Theme.calloutSize
                        font.weight: Font.DemiBold
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    ToolTip.visible: hovered
                    ToolTip.text: qsTr("Speed ([ and ])")
                    ToolTip.delay: 600
                }
                CircleIconButton {
                    systemName: screen.controller.muted ? "speaker.slash.fill" : "speaker.wave.2.fill"
                    //: Button actions: turn the sound on, or mute it.
                    text: screen.controller.muted ? qsTr("Sound on") : qsTr("Mute")
                    onClicked: screen.controller.toggleMute()
                }
                CircleIconButton {
                    systemName: AppModel.showBoxes ? "rectangle.dashed.badge.record" : "rectangle.dashed"
                    text: AppModel.showBoxes ? qsTr("Hide boxes") : qsTr("Show boxes")
                    onClicked: AppModel.showBoxes = !AppModel.showBoxes
                }
                CircleIconButton {
                    systemName: "clock.arrow.circlepath"
                    text: qsTr("Go to time")
                    onClicked: screen.openTimeJump()
                }
                CircleIconButton {
                    systemName: "camera.fill"
                    text: qsTr("Save snapshot")
                    onClicked: model.saveSnapshot()
                }
                CircleIconButton {
                    systemName: model.downloading ? "hourglass" : "square.and.arrow.down.fill"
                    text: screen.inPane ? qsTr("Download") : qsTr("Download clip")
                    enabled: !model.downloading
                    onClicked: model.downloadClip()
                }
            }
        }
    }

    Rectangle {
        id: toast
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: topBar.height + 36
        width: Math.min(parent.width - 32, toastRow.implicitWidth + 28)
        height: toastRow.implicitHeight + 18
        radius: height / 2
        color: Qt.rgba(0, 0, 0, 0.78)
        border.width: 1
        border.color: Theme.hairline
        opacity: model.toast.length > 0 ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: Theme.animationMs } }

        RowLayout {
            id: toastRow
            anchors.centerIn: parent
            width: parent.width - 28
            spacing: 12
            Text {
                Layout.fillWidth: true
                text: model.toast
                color: "white"
                font.pixelSize: Theme.calloutSize
                elide: Text.ElideMiddle
                horizontalAlignment: Text.AlignHCenter
            }
            Repeater {
                model: toast.visible && screen.toastPath.length > 0 ? 2 : 0
                delegate: Text {
                    required property int index
                    text: index === 0 ? qsTr("Show in folder") : qsTr("Copy path")
                    color: Qt.lighter(Theme.accent, 1.5)
                    font.pixelSize: Theme.calloutSize
                    font.weight: Font.DemiBold
                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: index === 0 ? DesktopFiles.showInFolder(screen.toastPath)
                                               : DesktopFiles.copyPath(screen.toastPath)
                    }
                }
            }
        }
    }
    readonly property string toastPath: model.toastPath

    TimeJumpSheet {
        id: timeJump
        onGo: seconds => model.jumpToTimeOfDay(seconds)
        onClosed: screen.forceActiveFocus()
    }

    function openTimeJump() {
        const time = model.timeOfDayShown()
        timeJump.openAt(time[0], time[1], time[2])
    }

    Keys.onPressed: event => {
        model.showControls()
        const shift = event.modifiers & Qt.ShiftModifier
        switch (event.key) {
        case Qt.Key_Space: controller.togglePlay(); break
        case Qt.Key_Left: model.skip(shift ? -1 : -10); break
        case Qt.Key_Right: model.skip(shift ? 1 : 10); break
        case Qt.Key_Comma: controller.stepFrame(-1); break
        case Qt.Key_Period: controller.stepFrame(1); break
        case Qt.Key_BracketLeft: controller.changeRate(-1); break
        case Qt.Key_BracketRight: controller.changeRate(1); break
        case Qt.Key_M: controller.toggleMute(); break
        case Qt.Key_B: AppModel.showBoxes = !AppModel.showBoxes; break
        case Qt.Key_G: openTimeJump(); break
        case Qt.Key_F:
            if (inPane)
                fullScreenRequested(model.fullScreenRequest())
            else if (Window.window)
                Window.window.visibility = Window.window.visibility === Window.FullScreen ? Window.Windowed : Window.FullScreen
            break
        case Qt.Key_PageUp: model.step(-1); break
        case Qt.Key_PageDown: model.step(1); break
        case Qt.Key_Escape: closeRequested(); break
        default: return
        }
        event.accepted = true
    }
}
