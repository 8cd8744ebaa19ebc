import QtQuick
import QtTest
import Kestrova

TestCase {
    id: testCase
    name: "TabBar"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component {
        id: barComponent
        BITabBar { width: 480 }
    }
    Component {
        id: tabsComponent
        MainTabsView { width: 800; height: 600 }
    }

    function tabButton(bar, tab) {
        return findChild(bar, "tab" + tab)
    }
    // The drawn badge text of a tab, or null when it draws none.
    function badgeOf(bar, tab) {
        const button = tabButton(bar, tab)
        const badge = findChild(button, "badge")
        return badge.visible ? findChild(button, "badgeLabel").text : null
    }

    function test_badgeText_data() {
        return [
            { tag: "zero draws none", count: 0, text: null },
            { tag: "negative draws none", count: -4, text: null },
            { tag: "one", count: 1, text: "1" },
            { tag: "9999 in full", count: 9999, text: "9999" },
            { tag: "10000 capped", count: 10000, text: "9999+" }
        ]
    }
    // Only the alerts and status tabs carry a badge.
    function test_badgeText(data) {
        for (const tab of [BITabBar.Alerts, BITabBar.Status]) {
            const other = tab === BITabBar.Alerts ? BITabBar.Status : BITabBar.Alerts
            const bar = createTemporaryObject(barComponent, testCase,
                                              tab === BITabBar.Alerts ? { alertBadge: data.count } : { statusBadge: data.count })
            compare(badgeOf(bar, tab), data.text)
            for (const quiet of [BITabBar.Home, BITabBar.Cameras, BITabBar.Settings, other])
                compare(badgeOf(bar, quiet), null, "tab " + quiet)
            bar.alertBadge = bar.statusBadge = 12000
            compare(badgeOf(bar, tab), "9999+")
        }
    }

    function test_clickSelectsTheTab() {
        const bar = createTemporaryObject(barComponent, testCase)
        compare(bar.selection, BITabBar.Home)
        mouseClick(tabButton(bar, BITabBar.Status))
        compare(bar.selection, BITabBar.Status)
        mouseClick(tabButton(bar, BITabBar.Settings))
        compare(bar.selection, BITabBar.Settings)
    }

    function test_ctrlDigitSelectsTabs_data() {
        return [
            { tag: "Ctrl+1 home", key: Qt.Key_1, tab: BITabBar.Home, from: BITabBar.Settings },
            { tag: "Ctrl+2 cameras", key: Qt.Key_2, tab: BITabBar.Cameras, from: BITabBar.Home },
            { tag: "Ctrl+3 alerts from settings", key: Qt.Key_3, tab: BITabBar.Alerts, from: BITabBar.Settings },
            { tag: "Ctrl+4 status", key: Qt.Key_4, tab: BITabBar.Status, from: BITabBar.Alerts },
            { tag: "Ctrl+5 settings", key: Qt.Key_5, tab: BITabBar.Settings, from: BITabBar.Cameras }
        ]
    }
    function test_ctrlDigitSelectsTabs(data) {
        const tabs = createTemporaryObject(tabsComponent, testCase)
        compare(tabs.selection, BITabBar.Home)
        tabs.selection = data.from
        keyClick(data.key, Qt.ControlModifier)
        compare(tabs.selection, data.tab)
    }

    function test_tabBarWidthFollowsTheWindow_data() {
        return [
            { tag: "wide window caps at 480", width: 1000, bar: 480 },
            { tag: "600 is wide", width: 600, bar: 480 },
            { tag: "narrow fills with margins", width: 500, bar: 460 }
        ]
    }
    function test_tabBarWidthFollowsTheWindow(data) {
        const tabs = createTemporaryObject(tabsComponent, testCase, { width: data.width })
        const bar = findChild(tabs, "tabBar")
        compare(bar.width, data.bar)
        compare(bar.x + bar.width / 2, data.width / 2)
    }
}
