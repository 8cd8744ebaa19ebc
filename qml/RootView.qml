import QtQuick
import QtQuick.Controls.Basic
import Kestrova

// Signed in: the tabs. Otherwise the server picker, or the form for a first server.
Item {
    id: root

    readonly property string wanted: AppModel.isLoggedIn ? "tabs" : AppModel.servers.count > 0 ? "picker" : "login"
    property string shown: ""

    // The first server is stored before its connection is tried: the form stays until that
    // attempt ends, so its progress and outcome are seen where they were asked for.
    function sync() {
        if (shown === wanted)
            return
        if (shown === "login" && wanted === "picker" && stack.currentItem && stack.currentItem.busy)
            return
        const first = shown === ""
        shown = wanted
        const page = wanted === "tabs" ? tabsPage : wanted === "picker" ? pickerPage : loginPage
        stack.replace(null, page, {}, first ? StackView.Immediate : StackView.ReplaceTransition)
    }

    onWantedChanged: sync()
    Component.onCompleted: sync()

    Rectangle {
        anchors.fill: parent
        gradient: Theme.backdrop
    }

    StackView {
        id: stack
        anchors.fill: parent

        replaceEnter: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: Theme.animationMs; easing.type: Easing.InOutQuad }
            NumberAnimation { property: "scale"; from: 0.98; to: 1; duration: Theme.animationMs; easing.type: Easing.InOutQuad }
        }
        replaceExit: Transition {
            NumberAnimation { property: "opacity"; from: 1; to: 0; duration: Theme.animationMs; easing.type: Easing.InOutQuad }
        }
    }

    Connections {
        target: stack.currentItem
        ignoreUnknownSignals: true
        function onBusyChanged() { root.sync() }
    }

    Component {
        id: tabsPage
        MainTabsView {}
    }
    Component {
        id: pickerPage
        ServerPickerView {}
    }
    Component {
        id: loginPage
        LoginView {}
    }
}
