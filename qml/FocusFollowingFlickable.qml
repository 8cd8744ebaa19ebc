import QtQuick
import QtQuick.Controls.Basic

// A page that scrolls vertically when the window is shorter than its content, and brings the
// control that takes the keyboard focus into view, so tabbing through a long form never leaves
// the focus out of sight. While something is out of view the scroll bar stays shown.
Flickable {
    id: flick
    // Kept in view above and below the focused control, pixels.
    property real focusMargin: 16
    // The height at the bottom that something drawn over the page (the tab bar) hides.
    property real coveredBelow: 0

    contentWidth: width
    boundsBehavior: Flickable.StopAtBounds
    clip: true
    ScrollBar.vertical: ScrollBar {
        policy: flick.contentHeight > flick.height + 1 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
    }

    function holds(item) {
        for (let above = item ? item.parent : null; above; above = above.parent) {
            if (above === flick.contentItem)
                return true
        }
        return false
    }

    function reveal(item) {
        if (!holds(item))
            return
        const area = item.mapToItem(flick.contentItem, 0, 0, item.width, item.height)
        const top = area.y - focusMargin
        const bottom = area.y + area.height + focusMargin + coveredBelow
        const lowest = Math.max(0, contentHeight - height)
        if (top < contentY)
            contentY = Math.max(0, top)
        else if (bottom > contentY + height)
            contentY = Math.min(lowest, bottom - height)
    }

    Connections {
        target: flick.Window.window
        // Later, once the layouts have placed the control.
        function onActiveFocusItemChanged() { Qt.callLater(flick.reveal, flick.Window.activeFocusItem) }
    }
}
