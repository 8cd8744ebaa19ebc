import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window
import Kestrova

// The five tabs, each in its own navigation stack, under a floating tab bar; above them, while
// the server does not answer as it should, the connection banner, pushing the pages down.
// Screens receive `bottomInset`: the height at the bottom that the tab bar covers. A screen with
// `coversTabBar` true on the Cameras stack hides the bar.
Item {
    id: root
    // Starts at home each time the tabs appear (after every sign-in).
    property alias selection: tabBar.selection
    // No system-drawn bar sits above the window on this platform.
    readonly property bool systemTopBar: false
    readonly property real bottomInset: tabBar.height + 2 * tabBar.bottomMargin

    // One tab's screen, built when the tab is first shown and kept afterwards.
    component TabPage: Loader {
        required property int tab
        readonly property bool current: root.selection === tab
        property bool visited: false

        parent: pages
        anchors.fill: parent
        visible: current
        active: visited
        onCurrentChanged: if (current) visited = true
        Component.onCompleted: if (current) visited = true
    }

    ConnectionBanner {
        id: banner
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: implicitHeight
        z: 1
    }

    Item {
        id: pages
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: banner.bottom
        anchors.bottom: parent.bottom
    }

    TabPage {
        tab: BITabBar.Home
        sourceComponent: StackView {
            initialItem: HomeView { bottomInset: root.bottomInset }
        }
    }
    TabPage {
        id: camerasPage
        tab: BITabBar.Cameras
        sourceComponent: StackView {
            initialItem: CamerasView { bottomInset: root.bottomInset }
        }
    }
    TabPage {
        id: alertsPage
        tab: BITabBar.Alerts
        sourceComponent: StackView {
            initialItem: AlertsScreen { bottomInset: root.bottomInset }
        }
    }
    TabPage {
        tab: BITabBar.Status
        sourceComponent: StackView {
            initialItem: StatusView { bottomInset: root.bottomInset }
        }
    }
    TabPage {
        tab: BITabBar.Settings
        sourceComponent: StackView {
            initialItem: SettingsView { bottomInset: root.bottomInset }
        }
    }

    // A clicked notification opens its alert in the first window, which Main.qml brings forward.
    Connections {
        target: AppModel
        enabled: root.Window.window !== null && root.Window.window.isFirstWindow === true
        function onAlertOpenRequested(reviewId) {
            root.selection = BITabBar.Alerts
            alertsPage.item.pop(null, StackView.Immediate)
            alertsPage.item.get(0).openReview(reviewId)
        }
    }

    BITabBar {
        id: tabBar
        objectName: "tabBar"
        readonly property int bottomMargin: 16
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: bottomMargin
        width: root.width >= 600 ? Math.min(480, root.width - 40) : root.width - 40
        // A camera live screen covers it; the screens pushed over that one show it again.
        visible: !(camerasPage.current && camerasPage.item && camerasPage.item.currentItem
                   && camerasPage.item.currentItem.coversTabBar === true)
        alertBadge: AppModel.unseenCount
        statusBadge: AppModel.statusBadge
        vertical: false
    }

    Instantiator {
        model: 5
        delegate: Shortcut {
            required property int index
            sequence: "Ctrl+" + (index + 1)
            // Per window: with "New window" the same keys in two windows would be ambiguous.
            context: Qt.WindowShortcut
            onActivated: root.selection = index
        }
    }
}
