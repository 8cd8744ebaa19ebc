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

    // Which remembered place the window takes: 0 for the first window, then the others by the
    // order they opened.
    property int slot: 0
    // Where the window opens when it has no remembered place (e.g. beside the window that opened
    // it); an empty rectangle leaves it to the preferred size, centred.
    property rect proposed: Qt.rect(0, 0, 0, 0)
    // Read once, as the window is made: later screen changes are the window manager's to handle.
    readonly property var place: WindowPlacement.placeFor(slot, proposed)
    // The geometry to remember: the last the window had while neither maximised nor minimised.
    property rect normalGeometry: Qt.rect(place.x, place.y, place.width, place.height)

    x: place.x
    y: place.y
    width: place.width
    height: place.height
    minimumWidth: place.minimumWidth
    minimumHeight: place.minimumHeight
    visible: true
    // Made in its normal geometry and maximised once shown, so that un-maximising returns there.
    property bool maximizeWhenShown: place.maximized
    onVisibleChanged: {
        if (visible && maximizeWhenShown) {
            maximizeWhenShown = false
            showMaximized()
        }
    }
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

    // Written a moment after the last move or resize, so a drag is stored once.
    function rememberPlace() {
        if (visibility === Window.Windowed)
            normalGeometry = Qt.rect(x, y, width, height)
        if (visibility === Window.Windowed || visibility === Window.Maximized)
            WindowPlacement.remember(slot, normalGeometry, visibility === Window.Maximized)
    }

    Timer {
        id: rememberLater
        interval: 500
        onTriggered: window.rememberPlace()
    }
    onXChanged: rememberLater.restart()
    onYChanged: rememberLater.restart()
    onWidthChanged: rememberLater.restart()
    onHeightChanged: rememberLater.restart()
    onVisibilityChanged: rememberLater.restart()
    onClosing: rememberPlace()

    Connections {
        target: Qt.application
        function onAboutToQuit() { window.rememberPlace() }
    }

    RootView {
        anchors.fill: parent
    }
}
