import QtQuick
import QtQml
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

    // The rows of AppModel.servers as QML sees them.
    Instantiator {
        id: rows
        model: AppModel.servers
        delegate: QtObject {
            required property var server
        }
    }

    function serverList() {
        const list = []
        for (let i = 0; i < rows.count; ++i)
            list.push(rows.objectAt(i).server)
        return list
    }

    function addServer(fields) {
        let id = ""
        AppModel.saveServer(fields).then(function (saved) { id = saved })
        tryVerify(function () { return id.length > 0 }, 3000)
        return id
    }

    function makePicker() {
        const picker = createTemporaryObject(pickerComponent, testCase)
        waitForRendering(picker)
        return picker
    }

    function cleanup() {
        for (const server of serverList())
            AppModel.deleteServer(server.idText)
        tryCompare(AppModel.servers, "count", 0, 3000)
        tryCompare(AppModel, "isConnecting", false, 15000)
    }

    function test_newServerIsStoredTrimmedAndItsFailureShown() {
        const login = createTemporaryObject(loginComponent, testCase)
        login.name = "  Cabin  "
        login.internalURL = "  " + closedPort + "  "
        mouseClick(findChild(login, "connectButton"))
        verify(login.busy)
        tryCompare(login, "busy", false, 15000)
        compare(login.error, unreachable)
        verify(findChild(login, "errorText").visible)
        compare(serverList().length, 1)
        compare(serverList()[0].internalURL, closedPort)

        // Trying again updates the same server instead of adding another.
        login.name = "Cabin 2"
        mouseClick(findChild(login, "connectButton"))
        tryCompare(login, "busy", false, 15000)
        compare(serverList().length, 1)
        compare(serverList()[0].serverName, "Cabin 2")
    }

    function test_withoutAnyAddressNothingIsStored() {
        const login = createTemporaryObject(loginComponent, testCase)
        login.internalURL = "   "
        mouseClick(findChild(login, "connectButton"))
        verify(!login.busy)
        verify(login.error.length > 0)
        compare(AppModel.servers.count, 0)
    }

    function test_editingFillsTheFormFromTheServer() {
        const id = addServer({ serverName: "Shop", internalURL: "10.0.0.2", externalURL: "shop.example.net", username: "ops" })
        const login = createTemporaryObject(loginComponent, testCase, { server: serverList()[0] })
        compare([login.name, login.internalURL, login.externalURL, login.user, login.password, login.storedId],
                ["Shop", "10.0.0.2", "shop.example.net", "ops", "", id])
    }

    function test_tapOnServerNeedingAPasswordOpensTheForm() {
        addServer({ serverName: "Locked", internalURL: closedPort, username: "admin" })
        const picker = makePicker()
        mouseClick(findChild(picker, "serverRow0"))
        const sheet = findChild(picker, "editSheet")
        tryCompare(sheet, "opened", true, 3000)
        compare(sheet.server.serverName, "Locked")
        verify(!AppModel.isConnecting)
        sheet.close()
    }

    function test_tapOnServerWithoutLoginConnects() {
        addServer({ serverName: "Other", internalURL: "10.0.0.1" })
        const id = addServer({ serverName: "Open", internalURL: closedPort, username: "" })
        const picker = makePicker()
        const rowIdChanges = signalSpy.createObject(testCase, { target: picker, signalName: "connectingIDChanged" })
        mouseClick(findChild(picker, "serverRow1"))
        // The row shows its connection while it runs, and drops it at the end.
        tryCompare(rowIdChanges, "count", 2, 15000)
        compare(picker.connectingID, "")
        compare(AppModel.settings.idText, id)
        compare(findChild(picker, "errorText").text, unreachable)
        verify(findChild(picker, "errorText").visible)
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
        compare(AppModel.servers.count, 2)
        mouseClick(findChild(dialog.contentItem, data.button))
        tryCompare(AppModel.servers, "count", data.remaining, 3000)
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
