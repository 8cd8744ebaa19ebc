import QtQuick
import QtTest
import Kestrova

// The login form and the server picker against the application model. Addresses point at a
// closed local port, so every connection fails fast with "unreachable".
TestCase {
    id: testCase
    name: "ServerScreens"
    width: 900
    height: 800
    visible: true
    when: windowShown

    readonly property string closedPort: "127.0.0.1:9"
    readonly property string unreachable: "Frigate server unreachable."

    Component {
        id: loginComponent
        LoginView { width: 900; height: 800 }
    }
    Component {
        id: signalSpy
        SignalSpy {}
    }
    Component {
        id: pickerComponent
        ServerPickerView { width: 900; height: 800 }
    }

    SignalSpy {
        id: connectingSpy
        target: AppModel
        signalName: "isConnectingChanged"
    }

    // The picker as the user first sees it: laid out and drawn.
    function makePicker() {
        const picker = createTemporaryObject(pickerComponent, testCase)
        waitForRendering(picker)
        return picker
    }

    function serverList() {
        const list = []
        const servers = AppModel.servers
        for (let i = 0; i < servers.length; ++i)
            list.push(servers[i])
        return list
    }

    function addServer(fields) {
        let id = ""
        AppModel.saveServer(fields).then(function (saved) { id = saved })
        tryVerify(function () { return id.length > 0 }, 3000)
        return id
    }

    function cleanup() {
        for (const server of serverList())
            AppModel.deleteServer(server.idText)
        tryVerify(function () { return AppModel.servers.length === 0 }, 3000)
        tryCompare(AppModel, "isConnecting", false, 15000)
    }

    function test_newServerIsStoredTrimmedAndItsFailureShown() {
        const login = createTemporaryObject(loginComponent, testCase)
        login.name = "  Cabin  "
        login.internalURL = "  " + closedPort + "  "
        login.user = ""
        mouseClick(findChild(login, "connectButton"))
        verify(login.busy)
        tryCompare(login, "busy", false, 15000)
        compare(login.error, unreachable)
        verify(findChild(login, "errorText").visible)

        const servers = serverList()
        compare(servers.length, 1)
        compare(servers[0].serverName, "Cabin")
        compare(servers[0].internalURL, closedPort)
        compare(AppModel.settings.idText, servers[0].idText)

        // Trying again updates the same server instead of adding another.
        login.name = "Cabin 2"
        mouseClick(findChild(login, "connectButton"))
        tryCompare(login, "busy", false, 15000)
        compare(serverList().length, 1)
        compare(serverList()[0].serverName, "Cabin 2")
    }

    function test_withoutAnyAddressNothingIsStored() {
        const login = createTemporaryObject(loginComponent, testCase)
        login.name = "Nowhere"
        login.internalURL = "   "
        mouseClick(findChild(login, "connectButton"))
        verify(!login.busy)
        verify(login.error.length > 0)
        compare(serverList().length, 0)
    }

    function test_editingFillsTheFormFromTheServer() {
        const id = addServer({ serverName: "Shop", internalURL: "10.0.0.2", externalURL: "shop.example.net", username: "ops" })
        const login = createTemporaryObject(loginComponent, testCase, { server: serverList()[0] })
        compare(login.name, "Shop")
        compare(login.internalURL, "10.0.0.2")
        compare(login.externalURL, "shop.example.net")
        compare(login.user, "ops")
        compare(login.password, "")
        compare(login.storedId, id)
    }

    function test_tapOnServerNeedingAPasswordOpensTheForm() {
        addServer({ serverName: "Locked", internalURL: closedPort, username: "admin" })
        connectingSpy.clear()
        const picker = makePicker()
        mouseClick(findChild(picker, "serverRow0"))
        const sheet = findChild(picker, "editSheet")
        tryCompare(sheet, "opened", true, 3000)
        compare(sheet.server.serverName, "Locked")
        compare(picker.connectingID, "")
        compare(connectingSpy.count, 0)
        sheet.close()
    }

    function test_tapOnServerWithoutLoginConnects() {
        const id = addServer({ serverName: "Open", internalURL: closedPort, username: "" })
        const picker = makePicker()
        const rowIdChanges = signalSpy.createObject(testCase, { target: picker, signalName: "connectingIDChanged" })
        connectingSpy.clear()
        mouseClick(findChild(picker, "serverRow0"))
        // The row shows its connection while it runs, and drops it at the end.
        tryCompare(rowIdChanges, "count", 2, 15000)
        compare(picker.connectingID, "")
        compare(connectingSpy.count, 2)
        compare(AppModel.settings.idText, id)
        compare(AppModel.lastError, unreachable)
        const error = findChild(picker, "errorText")
        verify(error.visible)
        compare(error.text, unreachable)
        verify(!findChild(picker, "editSheet").opened)
    }

    function test_deletingAsksFirst_data() {
        return [
            { tag: "confirmed", button: "confirmButton", remaining: 1 },
            { tag: "cancelled", button: "cancelButton", remaining: 2 }
        ]
    }
    function test_deletingAsksFirst(data) {
        addServer({ serverName: "Keep", internalURL: "10.0.0.1" })
        addServer({ serverName: "Gone", internalURL: "10.0.0.3" })
        const picker = makePicker()
        findChild(picker, "serverRow1").deleteRequested()
        const dialog = findChild(picker, "deleteDialog")
        tryCompare(dialog, "opened", true, 3000)
        compare(dialog.message, "The saved password and the camera settings for this server will be removed.")
        compare(serverList().length, 2)

        mouseClick(findChild(dialog.contentItem, data.button))
        tryVerify(function () { return serverList().length === data.remaining }, 3000)
        compare(serverList()[0].serverName, "Keep")
        tryCompare(picker, "deleting", null, 3000)
    }

    function test_defaultServerIsMarked() {
        addServer({ serverName: "A", internalURL: "10.0.0.1" })
        const second = addServer({ serverName: "B", internalURL: "10.0.0.2" })
        const picker = makePicker()
        findChild(picker, "serverRow1").makeDefaultRequested()
        compare(AppModel.defaultID, second)
        verify(findChild(picker, "serverRow1").isDefault)
        verify(!findChild(picker, "serverRow0").isDefault)
        AppModel.setDefaultServer("")
    }
}
