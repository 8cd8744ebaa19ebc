pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// The floating capsule tab bar: icons only, a badge on the alerts and status tabs.
Item {
    id: bar

    enum AppTab { Home, Cameras, Alerts, Status, Settings }

    property int selection: BITabBar.Home
    property int alertBadge: 0
    property int statusBadge: 0
    property bool vertical: false
    // [tab, icon, icon when selected], in tab order.
    property var items: [
        [BITabBar.Home, "house", "house.fill"],
        [BITabBar.Cameras, "video", "video.fill"],
        [BITabBar.Alerts, "bolt", "bolt.fill"],
        [BITabBar.Status, "chart.line.uptrend.xyaxis", "chart.line.uptrend.xyaxis"],
        [BITabBar.Settings, "gearshape", "gearshape.fill"]
    ]

    readonly property int itemExtent: 50
    readonly property int inset: 6

    function badgeText(count) {
        return count >= 10000 ? "9999+" : String(count)
    }
    function badgeCount(tab) {
        if (tab === BITabBar.Alerts)
            return alertBadge
        if (tab === BITabBar.Status)
            return statusBadge
        return 0
    }
    function tabTitle(tab) {
        switch (tab) {
        //: Tab title: the overview screen.
        case BITabBar.Home: return qsTr("Home")
        case BITabBar.Cameras: return qsTr("Cameras")
        case BITabBar.Alerts: return qsTr("Alerts")
        //: Tab title: the server's health and statistics.
        case BITabBar.Status: return qsTr("Status")
        case BITabBar.Settings: return qsTr("Settings")
        }
        return ""
    }

    implicitWidth: vertical ? itemExtent + 2 * inset : items.length * 72 + 2 * inset
    implicitHeight: vertical ? items.length * itemExtent + 2 * inset : itemExtent + 2 * inset

    // A soft shadow: black spread out under the capsule.
    Repeater {
        model: 4
        Rectangle {
            required property int index
            readonly property real spread: 2 + index * 3
            x: -spread
            y: -spread + 4
            width: bar.width + 2 * spread
            height: bar.height + 2 * spread
            radius: Math.min(width, height) / 2
            color: "black"
            opacity: 0.45 / (index + 2)
        }
    }

    Rectangle {
        id: capsule
        anchors.fill: parent
        radius: Math.min(width, height) / 2
        color: Qt.rgba(Theme.surfaceRaised.r, Theme.surfaceRaised.g, Theme.surfaceRaised.b, 0.97)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.1)
    }

    Grid {
        id: grid
        anchors.fill: parent
        anchors.margins: bar.inset
        columns: bar.vertical ? 1 : bar.items.length
        rows: bar.vertical ? bar.items.length : 1

        Repeater {
            model: bar.items
            delegate: AbstractButton {
                id: tabButton
                required property var modelData
                readonly property int tab: modelData[0]
                readonly property bool current: bar.selection === tab
                readonly property int count: bar.badgeCount(tab)

                objectName: "tab" + tab
                width: bar.vertical ? grid.width : grid.width / bar.items.length
                height: bar.itemExtent
                hoverEnabled: true
                focusPolicy: Qt.TabFocus
                text: bar.tabTitle(tab)
                //: Spoken name of a tab with a badge: "Alerts, 3 new".
                Accessible.name: count > 0 ? qsTr("%1, %2 new").arg(text).arg(bar.badgeText(count)) : text
                Accessible.role: Accessible.PageTab
                Accessible.selected: current

                onClicked: bar.selection = tab

                background: Rectangle {
                    radius: height / 2
                    color: tabButton.current ? Qt.rgba(1, 1, 1, 0.1)
                         : tabButton.down ? Theme.fillPressed
                         : tabButton.hovered || tabButton.visualFocus ? Theme.fillSubtle : "transparent"
                    Behavior on color { ColorAnimation { duration: 150 } }
                }

                contentItem: Item {
                    Icon {
                        id: icon
                        anchors.centerIn: parent
                        name: tabButton.current ? tabButton.modelData[2] : tabButton.modelData[1]
                        size: 21
                        color: tabButton.current ? "white" : Theme.iconSecondary
                    }

                    Rectangle {
                        id: badge
                        objectName: "badge"
                        visible: tabButton.count >= 1
                        x: icon.x + icon.width - 3
                        y: icon.y - 13
                        height: 22
                        width: Math.max(22, badgeLabel.implicitWidth + 12)
                        radius: height / 2
                        color: Theme.badge
                        Text {
                            id: badgeLabel
                            objectName: "badgeLabel"
                            anchors.centerIn: parent
                            text: bar.badgeText(tabButton.count)
                            color: "white"
                            font.pixelSize: 13
                            font.weight: Font.Medium
                        }
                    }
                }

                ToolTip.visible: hovered
                ToolTip.text: text
                ToolTip.delay: 700
            }
        }
    }
}
