import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// A popup menu in the app's dark style. Items: ThemedMenuItem. At least 240 px wide, wider
// when an entry needs it (Italian labels run longer than English ones).
Menu {
    id: menu
    padding: 6
    readonly property real widestEntry: {
        let widest = 0
        for (let i = 0; i < count; ++i) {
            const entry = itemAt(i)
            if (entry)
                widest = Math.max(widest, entry.implicitWidth)
        }
        return widest
    }
    implicitWidth: Math.max(240, widestEntry + leftPadding + rightPadding)
    background: Rectangle {
        implicitWidth: 240
        radius: 12
        color: Theme.surfaceHigh
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }
    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 120 }
        NumberAnimation { property: "scale"; from: 0.96; to: 1; duration: 120; easing.type: Easing.OutQuad }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 90 }
    }
}
