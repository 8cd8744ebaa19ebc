import QtQuick
import QtQuick.Window
import Kestrova

// The first window, and the keeper of the others that "New window" opens. The application is in
// the background only while every window is minimised or hidden; closing one window leaves the
// others running (the application quits with the last one).
AppWindow {
    id: main
    property var extraWindows: []
    property int extrasShown: 0
    readonly property bool allInBackground: inBackground && extrasShown === 0

    onAllInBackgroundChanged: AppModel.handleApplicationState(allInBackground ? Qt.ApplicationHidden : Qt.ApplicationActive)
    onAnotherWindowRequested: openExtraWindow()

    // The window a clicked notification or another launch of the app brings forward.
    readonly property bool isFirstWindow: true
    Connections {
        target: AppModel
        function onRaiseRequested() {
            if (main.visibility === Window.Minimized)
                main.showNormal()
            else
                main.show()
            main.raise()
            main.requestActivate()
        }
    }

    function countShown() {
        extrasShown = extraWindows.filter(w => !w.inBackground).length
    }

    // The lowest window number no open window has, so a window opened again takes the place the
    // last one with that number had.
    function freeSlot() {
        let slot = 1
        while (extraWindows.some(w => w.slot === slot))
            ++slot
        return slot
    }

    function openExtraWindow() {
        const opened = extraWindow.createObject(null, {
            slot: freeSlot(),
            proposed: Qt.rect(main.x + 40, main.y + 40, main.width, main.height)
        })
        extraWindows = extraWindows.concat([opened])
        countShown()
    }

    function forget(closed) {
        extraWindows = extraWindows.filter(w => w !== closed)
        countShown()
        closed.destroy()
    }

    Component {
        id: extraWindow
        AppWindow {
            id: extra
            onAnotherWindowRequested: main.openExtraWindow()
            onInBackgroundChanged: main.countShown()
            onClosing: Qt.callLater(main.forget, extra)
        }
    }
}
