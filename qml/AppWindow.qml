import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window
import Kestrova

// One application window: the sign-in screens or the tabs of the one AppModel. Main.qml opens
// the first; "New window" opens more (openAnotherWindow).
ApplicationWindow {
    id: window
    signal anotherWindowRequested()

    function openAnotherWindow() {
        anotherWindowRequested()
    }

    width: 1180
    height: 800
    minimumWidth: 420
    minimumHeight: 560
    visible: true
    title: "Kestrova"
    color: Theme.surfaceDeep

    font.pixelSize: Theme.calloutSize
    palette {
        window: Theme.surfaceDeep
        windowText: Theme.textPrimary
        base: Theme.surfaceRaised
        alternateBase: Theme.surface
        text: Theme.textPrimary
        button: Theme.surfaceHigh
        buttonText: Theme.textPrimary
        brightText: "white"
        highlight: Theme.accent
        highlightedText: "white"
        placeholderText: Theme.placeholder
        toolTipBase: Theme.surfaceHigh
        toolTipText: Theme.textPrimary
        light: Theme.surfaceHigh
        midlight: Theme.surfaceRaised
        mid: Theme.slate
        dark: Theme.textTertiary
        shadow: "black"
        link: Theme.accent
    }

    // A desktop window only goes to the background when minimised or hidden; losing the
    // keyboard focus to another window keeps it in the foreground, so switching windows does
    // not re-probe the server each time.
    readonly property bool inBackground: visibility === Window.Minimized || visibility === Window.Hidden
        || Qt.application.state === Qt.ApplicationHidden || Qt.application.state === Qt.ApplicationSuspended

    RootView {
        anchors.fill: parent
    }
}
