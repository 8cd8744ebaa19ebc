#include "ManualPollingClock.h"
#include "RecordTexts.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

ServerSettings makeServer(const QString &name, const QString &username = {})
{
    ServerSettings server;
    server.serverName = name;
    server.internalURL = QStringLiteral("10.0.0.1");
    server.username = username;
    return server;
}

// Cameras from "name:uiOrder:friendlyName" texts.
QList<CameraInfo> cameras(const QStringList &texts)
{
    QList<CameraInfo> list;
    for (const QString &text : texts) {
        const QStringList parts = text.split(u':');
        CameraInfo camera;
        camera.name = parts.value(0);
        camera.uiOrder = parts.value(1).toInt();
        camera.friendlyName = parts.value(2, camera.name);
        list.append(camera);
    }
    return list;
}

QString prefKey(const char *name, const ServerSettings &server)
{
    return StateKeys::serverPreference(QLatin1String(name), server.id);
}

// A model over memory stores that hold `servers` (and the default) before the model starts.
struct Rig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    std::unique_ptr<AppModel> model;

    explicit Rig(const QList<ServerSettings> &servers = {}, int defaultIndex = -1)
    {
        ServerList list;
        list.servers = servers;
        if (defaultIndex >= 0)
            list.defaultID = servers.at(defaultIndex).id;
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust, &clock);
        runTask(model->initialize());
    }

    ServerList stored() const
    {
        return ServerList::decode(preferences.value(QLatin1String(StateKeys::servers)).toByteArray())
            .value_or(ServerList{});
    }
    // Every per-server preference and both secrets of `server`.
    void giveEverything(const ServerSettings &server)
    {
        for (const QString &name : StateKeys::serverPreferenceNames())
            preferences.setValue(StateKeys::serverPreference(name, server.id), 1.0);
        runTask(secrets.writeSecret(QStringLiteral("pw"), StateKeys::passwordAccount(server.id)));
        runTask(secrets.writeSecret(QStringLiteral("tok"), StateKeys::tokenAccount(server.id)));
    }
    int everythingLeft(const ServerSettings &server)
    {
        int left = 0;
        for (const QString &name : StateKeys::serverPreferenceNames())
            left += preferences.contains(StateKeys::serverPreference(name, server.id)) ? 1 : 0;
        for (const QString &account : {StateKeys::passwordAccount(server.id), StateKeys::tokenAccount(server.id)})
            left += runTask(secrets.readSecret(account)) ? 1 : 0;
        return left;
    }
};

// What a view hears from a list model, in order: "reset", "insert 2", "remove 0", "move", "edit 1".
struct ModelLog
{
    explicit ModelLog(QAbstractItemModel *model)
    {
        const auto at = [this](const char *what) {
            return [this, what](const QModelIndex &, int first, int last) {
                const QString rows = first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last);
                events << QStringLiteral("%1 %2").arg(what, rows);
            };
        };
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { events << "reset"; });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, at("insert"));
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, at("remove"));
        QObject::connect(model, &QAbstractItemModel::layoutChanged, [this] { events << "move"; });
        QObject::connect(model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex &from) { events << QStringLiteral("edit %1").arg(from.row()); });
    }
    QStringList events;
};

} // namespace

class TestAppModelState : public QObject
{
    Q_OBJECT
private slots:
    void listModelReportsRowChanges_data()
    {
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("same list") << QStringList{"a:1", "b:2", "c:3"} << QStringList();
        QTest::newRow("one edited") << QStringList{"a:1", "b:9", "c:3"} << QStringList{"edit 1"};
        QTest::newRow("appended, one run") << QStringList{"a:1", "b:2", "c:3", "d:4", "e:5"} << QStringList{"insert 3-4"};
        QTest::newRow("inserted first") << QStringList{"d:4", "a:1", "b:2", "c:3"} << QStringList{"insert 0"};
        QTest::newRow("middle removed") << QStringList{"a:1", "c:3"} << QStringList{"remove 1"};
        QTest::newRow("emptied, one run") << QStringList() << QStringList{"remove 0-2"};
        QTest::newRow("both ends removed") << QStringList{"b:2"} << QStringList{"remove 2", "remove 0"};
        QTest::newRow("reordered") << QStringList{"c:3", "a:1", "b:2"} << QStringList{"move"};
        QTest::newRow("removed, reordered, inserted, edited")
            << QStringList{"d:4", "c:5", "a:1"} << QStringList{"remove 1", "move", "insert 0", "edit 1"};
        QTest::newRow("duplicate names") << QStringList{"a:1", "a:2"} << QStringList{"reset"};
    }

    void listModelReportsRowChanges()
    {
        QFETCH(QStringList, after);
        QFETCH(QStringList, events);
        const QStringList before{"a:1", "b:2", "c:3"};

        CameraListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRecords(cameras(before));
        const QPersistentModelIndex first = model.index(0);
        ModelLog log(&model);
        QSignalSpy counted(&model, &CameraListModel::countChanged);

        model.setRecords(cameras(after));
        QCOMPARE(log.events, events);
        QCOMPARE(counted.count(), before.size() == after.size() ? 0 : 1);
        QCOMPARE(model.count(), after.size());
        const int nameRole = model.roleNames().key("name");
        const int orderRole = model.roleNames().key("uiOrder");
        for (int row = 0; row < model.count(); ++row) {
            const QModelIndex index = model.index(row);
            QCOMPARE(index.data(nameRole).toString() + ':' + index.data(orderRole).toString(), after.at(row));
        }
        // A view's hold on the first row follows it to its new place.
        if (!events.contains("reset") && after.contains(before.first()))
            QCOMPARE(first.row(), int(after.indexOf(before.first())));
    }

    void cameraOrder_data()
    {
        QTest::addColumn<QStringList>("storedOrder");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no stored order: uiOrder") << QStringList() << QStringList{"c", "b", "a", "y", "z"};
        QTest::newRow("unlisted after listed; vanished names ignored")
            << QStringList{"gone", "a"} << QStringList{"a", "c", "b", "y", "z"};
    }

    // Equal uiOrder falls back to the friendly name, without regard to case.
    void cameraOrder()
    {
        QFETCH(QStringList, storedOrder);
        QFETCH(QStringList, expected);
        const ServerSettings server = makeServer("home");
        Rig rig({server});
        if (!storedOrder.isEmpty())
            rig.preferences.setValue(prefKey("cameraOrder", server), storedOrder);
        const QList<CameraInfo> configured = cameras({"z:5:delta", "c:1", "a:3", "y:5:Charlie", "b:2"});
        QCOMPARE(namesOf(rig.model->applyCameraOrder(configured)), expected);

        rig.model->setCameraOrder(configured);
        rig.model->setCameraOrder(QStringList{"a", "b"});
        QCOMPARE(namesOf(rig.model->cameras()), (QStringList{"a", "b", "z", "c", "y"}));
        QCOMPARE(rig.preferences.value(prefKey("cameraOrder", server)).toStringList(), namesOf(rig.model->cameras()));
    }

    void initialServer_data()
    {
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<int>("defaultIndex"); // -1: none
        QTest::addColumn<int>("expectedIndex"); // -1: a blank server
        QTest::newRow("default server") << 3 << 2 << 2;
        QTest::newRow("no default: first") << 2 << -1 << 0;
        QTest::newRow("empty list: blank") << 0 << -1 << -1;
    }

    void initialServer()
    {
        QFETCH(int, serverCount);
        QFETCH(int, defaultIndex);
        QFETCH(int, expectedIndex);

        QList<ServerSettings> servers;
        for (int index = 0; index < serverCount; ++index)
            servers.append(makeServer(QStringLiteral("s%1").arg(index)));
        Rig rig(servers, defaultIndex);

        const ServerSettings &current = rig.model->settings();
        if (expectedIndex >= 0)
            QCOMPARE(current, servers.at(expectedIndex));
        else
            QVERIFY(!current.id.isNull() && current.serverName.isEmpty() && current.internalURL.isEmpty());
        QCOMPARE(rig.model->client()->settings(), current.access());
        QCOMPARE(rig.model->serverModel()->count(), serverCount);
    }

    void aspectsLoadedPerServer_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("numbers") << QVariant(QVariantMap{{"front", 1.75}, {"back", 2}})
                                 << QVariantMap{{"front", 1.75}, {"back", 2.0}};
        QTest::newRow("one text value spoils the map")
            << QVariant(QVariantMap{{"front", 1.5}, {"back", QStringLiteral("1.3")}}) << QVariantMap();
        QTest::newRow("not a map") << QVariant(QStringLiteral("1.5")) << QVariantMap();
    }

    void aspectsLoadedPerServer()
    {
        QFETCH(QVariant, stored);
        QFETCH(QVariantMap, expected);
        const ServerSettings first = makeServer("one");
        const ServerSettings second = makeServer("two");
        Rig rig({first, second});
        rig.preferences.setValue(prefKey("aspects", first), QVariantMap{{"old", 1.0}});
        rig.preferences.setValue(prefKey("aspects", second), stored);

        rig.model->selectServer(second);
        QCOMPARE(rig.model->property("aspects").toMap(), expected);
        rig.model->selectServer(first);
        QCOMPARE(rig.model->aspects().value("old"), 1.0);
    }

    void savingAndSelectingServers()
    {
        const ServerSettings first = makeServer("one");
        const ServerSettings second = makeServer("two");
        Rig rig({first, second}, 0);
        QAbstractItemModelTester tester(rig.model->serverModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        ModelLog log(rig.model->serverModel());

        ServerSettings renamed = second;
        renamed.serverName = "deux";
        rig.model->saveServer(renamed);
        QCOMPARE(rig.model->settings(), first);
        // A saved server's hosts lose their certificate pins; other hosts keep theirs.
        ServerSettings third = makeServer("three");
        third.internalURL = "Box.lan:8971";
        third.externalURL = "https://cam.example.org/";
        const QStringList pinned{ServerTrust::pinKey("box.lan", 8971), ServerTrust::pinKey("cam.example.org", 443),
                                 ServerTrust::pinKey("cam.example.org", 8443)};
        const QString unrelated = ServerTrust::pinKey("other.lan", 8971);
        for (const QString &key : pinned + QStringList{unrelated})
            rig.preferences.setValue(key, QStringLiteral("ab12"));
        rig.model->saveServer(third);
        for (const QString &key : pinned)
            QVERIFY2(!rig.preferences.contains(key), qPrintable(key));
        QVERIFY(rig.preferences.contains(unrelated));
        QCOMPARE(rig.stored().servers, (QList<ServerSettings>{first, renamed, third}));
        rig.model->setDefaultServer(third.idText());
        QCOMPARE(log.events, (QStringList{"edit 1", "insert 2", "edit 0", "edit 2"}));
        QCOMPARE(rig.stored().defaultID, std::optional(third.id));

        // Selecting points the client at the server; editing the current one reaches both.
        rig.model->selectServer(renamed);
        QCOMPARE(rig.model->client()->settings(), renamed.access());
        renamed.externalURL = "cam.example.org";
        rig.model->setSettings(renamed);
        QCOMPARE(rig.stored().servers.at(1), renamed);
        QCOMPARE(rig.model->client()->settings(), renamed.access());
        // Settings of a server that is not listed are not added.
        rig.model->setSettings(makeServer("stray"));
        QCOMPARE(rig.stored().servers.size(), 3);
    }

    void saveServerFromFields_data()
    {
        QTest::addColumn<QString>("newUser");
        QTest::addColumn<bool>("secretsKept");
        QTest::newRow("same user keeps secrets") << QStringLiteral("  admin ") << true;
        QTest::newRow("other user drops them") << QStringLiteral("viewer") << false;
        QTest::newRow("user removed drops them") << QString() << false;
    }

    void saveServerFromFields()
    {
        QFETCH(QString, newUser);
        QFETCH(bool, secretsKept);

        const ServerSettings current = makeServer("one", "admin");
        const ServerSettings other = makeServer("two", "admin");
        for (const bool editCurrent : {true, false}) {
            Rig rig({current, other}, 0);
            const ServerSettings &edited = editCurrent ? current : other;
            rig.giveEverything(edited);
            const QVariantMap fields{
                {"id", edited.idText().toLower()},      {"serverName", " Renamed "}, {"internalURL", " 10.0.0.9:5000 "},
                {"externalURL", "\tcam.example.org\n"}, {"username", newUser},       {"password", "ignored here"}};
            QCOMPARE(runTask(rig.model->saveServerFields(fields)), edited.idText());

            const ServerSettings saved = *rig.stored().server(edited.id);
            QCOMPARE(saved.serverName + '|' + saved.internalURL + '|' + saved.externalURL + '|' + saved.username,
                     "Renamed|10.0.0.9:5000|cam.example.org|" + newUser.trimmed());
            QCOMPARE(rig.everythingLeft(edited), secretsKept ? 5 : 3);
        }
        Rig empty;
        const auto id = uuidFromText(runTask(empty.model->saveServerFields({{"internalURL", "10.1.1.1"}})));
        QVERIFY(id && empty.stored().server(*id));
        QCOMPARE(empty.stored().server(*id)->gridRefreshSeconds, 2.0);
    }

    void deleteServer_data()
    {
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<int>("deleteIndex");
        QTest::addColumn<int>("defaultIndex"); // -1: none
        QTest::addColumn<int>("currentIndex");
        QTest::addColumn<int>("expectedCurrentIndex"); // index in the original list
        QTest::newRow("other server: current stays") << 3 << 1 << 0 << 0 << 0;
        QTest::newRow("current: the default follows") << 3 << 0 << 2 << 0 << 2;
        QTest::newRow("current and default: the first follows") << 3 << 1 << 1 << 1 << 0;
        QTest::newRow("the last one: settings stay") << 1 << 0 << 0 << 0 << 0;
    }

    void deleteServer()
    {
        QFETCH(int, serverCount);
        QFETCH(int, deleteIndex);
        QFETCH(int, defaultIndex);
        QFETCH(int, currentIndex);
        QFETCH(int, expectedCurrentIndex);

        const QList<ServerSettings> servers =
            QList<ServerSettings>{makeServer("a", "admin"), makeServer("b"), makeServer("c")}.first(serverCount);
        Rig rig(servers, defaultIndex);
        rig.model->selectServer(servers.at(currentIndex));
        for (const ServerSettings &server : servers)
            rig.giveEverything(server);
        runTask(rig.model->client()->findServer()); // loads the stored token into the client

        runTask(rig.model->deleteServer(QUuid::createUuid()));
        runTask(rig.model->deleteServer(servers.at(deleteIndex).id));
        QList<ServerSettings> remaining = servers;
        remaining.removeAt(deleteIndex);
        QCOMPARE(rig.stored().servers, remaining);
        QCOMPARE(rig.model->serverModel()->count(), remaining.size());
        if (defaultIndex == deleteIndex)
            QVERIFY(!rig.stored().defaultID);
        QCOMPARE(rig.everythingLeft(servers.at(deleteIndex)), 0);
        for (const ServerSettings &server : remaining)
            QCOMPARE(rig.everythingLeft(server), 5);
        QCOMPARE(rig.model->settings(), servers.at(expectedCurrentIndex));
        QCOMPARE(rig.model->client()->settings(), servers.at(expectedCurrentIndex).access());
        if (remaining.isEmpty())
            QVERIFY(!rig.model->client()->token());
    }
};

QTEST_GUILESS_MAIN(TestAppModelState)
#include "tst_appmodel_state.moc"
