#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <QJSEngine>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

namespace {

ServerSettings makeServer(const QString &name, const QString &internalURL = {}, const QString &username = {})
{
    ServerSettings server;
    server.serverName = name;
    server.internalURL = internalURL;
    server.username = username;
    return server;
}

CameraInfo makeCamera(const QString &name, int uiOrder, const QString &friendlyName)
{
    CameraInfo camera;
    camera.name = name;
    camera.uiOrder = uiOrder;
    camera.friendlyName = friendlyName;
    return camera;
}

QStringList namesOf(const QList<CameraInfo> &cameras)
{
    QStringList names;
    for (const CameraInfo &camera : cameras)
        names.append(camera.name);
    return names;
}

QString prefKey(const char *name, const ServerSettings &server)
{
    return StateKeys::serverPreference(QLatin1String(name), server.id);
}

// A model over memory stores that hold `list` before the model starts.
struct Rig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    std::unique_ptr<AppModel> model;

    explicit Rig(const ServerList &list = {})
    {
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust, &clock);
        runTask(model->initialize());
    }

    ServerList stored() const
    {
        return ServerList::decode(preferences.value(QLatin1String(StateKeys::servers)).toByteArray()).value_or(ServerList{});
    }
    std::optional<QString> secret(const QString &account) { return runTask(secrets.readSecret(account)); }
    void setSecret(const QString &account, const QString &value) { runTask(secrets.writeSecret(value, account)); }
    void givePerServerPreferences(const ServerSettings &server)
    {
        preferences.setValue(prefKey("cameraOrder", server), QStringList{QStringLiteral("a")});
        preferences.setValue(prefKey("aspects", server), QVariantMap{{QStringLiteral("a"), 1.5}});
        preferences.setValue(prefKey("logSeen", server), 1000.0);
    }
    bool hasAnyPerServerPreference(const ServerSettings &server) const
    {
        for (const QString &name : StateKeys::serverPreferenceNames()) {
            if (preferences.contains(StateKeys::serverPreference(name, server.id)))
                return true;
        }
        return false;
    }
};

ServerList listOf(const QList<ServerSettings> &servers, std::optional<QUuid> defaultID = std::nullopt,
                  bool autoConnect = false)
{
    ServerList list;
    list.servers = servers;
    list.defaultID = defaultID;
    list.autoConnect = autoConnect;
    return list;
}

} // namespace

class TestAppModelState : public QObject
{
    Q_OBJECT
private slots:
    void cameraOrder_data()
    {
        QTest::addColumn<QList<CameraInfo>>("cameras");
        QTest::addColumn<QStringList>("storedOrder");
        QTest::addColumn<QStringList>("expected");

        const QList<CameraInfo> three{makeCamera("c", 1, "Gamma"), makeCamera("a", 3, "Alpha"),
                                      makeCamera("b", 2, "beta")};
        QTest::newRow("no stored order: uiOrder") << three << QStringList() << QStringList{"c", "b", "a"};
        QTest::newRow("stored order wins over uiOrder")
            << three << QStringList{"a", "c", "b"} << QStringList{"a", "c", "b"};
        QTest::newRow("unlisted cameras after listed ones, by uiOrder")
            << three << QStringList{"a"} << QStringList{"a", "c", "b"};
        QTest::newRow("stored names of vanished cameras are ignored")
            << three << QStringList{"gone", "b"} << QStringList{"b", "c", "a"};
        QTest::newRow("equal uiOrder: friendly name, case-insensitive")
            << QList<CameraInfo>{makeCamera("x", 1, "delta"), makeCamera("y", 1, "Charlie"),
                                 makeCamera("z", 1, "bravo")}
            << QStringList() << QStringList{"z", "y", "x"};
        QTest::newRow("equal positions fall back to uiOrder then name")
            << QList<CameraInfo>{makeCamera("p", 2, "P"), makeCamera("q", 1, "Q"), makeCamera("r", 1, "A"),
                                 makeCamera("s", 0, "S")}
            << QStringList{"p"} << QStringList{"p", "s", "r", "q"};
    }

    void cameraOrder()
    {
        QFETCH(QList<CameraInfo>, cameras);
        QFETCH(QStringList, storedOrder);
        QFETCH(QStringList, expected);

        const ServerSettings server = makeServer("home", "10.0.0.2");
        Rig rig(listOf({server}));
        if (!storedOrder.isEmpty())
            rig.preferences.setValue(prefKey("cameraOrder", server), storedOrder);
        QCOMPARE(namesOf(rig.model->applyCameraOrder(cameras)), expected);
    }

    void setCameraOrderStoresNamesAndReorders()
    {
        const ServerSettings server = makeServer("home", "10.0.0.2");
        Rig rig(listOf({server}));
        const QList<CameraInfo> cameras{makeCamera("b", 1, "B"), makeCamera("a", 2, "A"), makeCamera("c", 3, "C")};
        rig.model->setCameraOrder(cameras);
        QCOMPARE(rig.preferences.value(prefKey("cameraOrder", server)).toStringList(), (QStringList{"b", "a", "c"}));
        QCOMPARE(rig.model->cameras(), cameras);

        QSignalSpy changed(rig.model.get(), &AppModel::camerasChanged);
        rig.model->setCameraOrder(QStringList{"c", "b"});
        QCOMPARE(namesOf(rig.model->cameras()), (QStringList{"c", "b", "a"}));
        QCOMPARE(rig.preferences.value(prefKey("cameraOrder", server)).toStringList(), (QStringList{"c", "b", "a"}));
        QCOMPARE(rig.model->cameraNamed("a")->uiOrder, 2);
        QVERIFY(!rig.model->cameraNamed("nope"));
        QCOMPARE(changed.count(), 1);
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
            servers.append(makeServer(QStringLiteral("s%1").arg(index), QStringLiteral("10.0.0.%1").arg(index + 1)));
        std::optional<QUuid> defaultID;
        if (defaultIndex >= 0)
            defaultID = servers.at(defaultIndex).id;
        Rig rig(listOf(servers, defaultID));

        if (expectedIndex >= 0) {
            QCOMPARE(rig.model->settings(), servers.at(expectedIndex));
        } else {
            const ServerSettings &blank = rig.model->settings();
            QVERIFY(!blank.id.isNull());
            QVERIFY(blank.serverName.isEmpty() && blank.internalURL.isEmpty() && blank.username.isEmpty());
            QCOMPARE(blank.gridRefreshSeconds, 2.0);
            QVERIFY(!blank.liveUsesSubstream);
            QVERIFY(blank.showDetections);
        }
        QCOMPARE(rig.model->client()->settings(), rig.model->settings().access());
        QCOMPARE(rig.model->serverList().servers, servers);
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::None);
    }

    void aspectsLoadedPerServer_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariantMap>("expected");
        const QVariantMap good{{"front", 1.7777}, {"back", 4.0 / 3.0}};
        QTest::newRow("numbers") << QVariant(good) << good;
        QTest::newRow("whole numbers") << QVariant(QVariantMap{{"front", 2}}) << QVariantMap{{"front", 2.0}};
        QTest::newRow("one text value spoils the map")
            << QVariant(QVariantMap{{"front", 1.5}, {"back", QStringLiteral("1.3")}}) << QVariantMap();
        QTest::newRow("not a map") << QVariant(QStringLiteral("1.5")) << QVariantMap();
        QTest::newRow("absent") << QVariant() << QVariantMap();
    }

    void aspectsLoadedPerServer()
    {
        QFETCH(QVariant, stored);
        QFETCH(QVariantMap, expected);

        const ServerSettings first = makeServer("one", "10.0.0.1");
        const ServerSettings second = makeServer("two", "10.0.0.2");
        Rig rig(listOf({first, second}, first.id));
        rig.preferences.setValue(prefKey("aspects", first), QVariantMap{{"old", 1.0}});
        if (stored.isValid())
            rig.preferences.setValue(prefKey("aspects", second), stored);

        rig.model->selectServer(second);
        QCOMPARE(rig.model->property("aspects").toMap(), expected);
        rig.model->selectServer(first);
        QCOMPARE(rig.model->aspects().value("old"), 1.0);
    }

    void selectServerPointsClientAtIt()
    {
        const ServerSettings first = makeServer("one", "10.0.0.1");
        const ServerSettings second = makeServer("two", "10.0.0.2");
        Rig rig(listOf({first, second}));
        QSignalSpy settingsChanged(rig.model.get(), &AppModel::settingsChanged);
        QSignalSpy serversChanged(rig.model.get(), &AppModel::serversChanged);

        rig.model->selectServer(second.idText());
        QCOMPARE(rig.model->settings(), second);
        QCOMPARE(rig.model->client()->settings(), second.access());
        QCOMPARE(settingsChanged.count(), 1);
        QCOMPARE(serversChanged.count(), 0);

        rig.model->selectServer(second);
        QCOMPARE(settingsChanged.count(), 1);
        rig.model->selectServer(QStringLiteral("not-a-uuid"));
        QCOMPARE(rig.model->settings(), second);
    }

    void settingsChangeUpdatesStoredEntry()
    {
        const ServerSettings first = makeServer("one", "10.0.0.1");
        Rig rig(listOf({first}));
        ServerSettings edited = first;
        edited.gridRefreshSeconds = 10.0;
        rig.model->setSettings(edited);
        QCOMPARE(rig.stored().servers, QList<ServerSettings>{edited});
        QCOMPARE(rig.model->client()->settings(), edited.access());

        // Settings of a server that is not in the list are not added to it.
        const ServerSettings stray = makeServer("stray", "10.9.9.9");
        rig.model->setSettings(stray);
        QCOMPARE(rig.stored().servers, QList<ServerSettings>{edited});
    }

    void saveServerInsertsOrReplaces()
    {
        const ServerSettings first = makeServer("one", "10.0.0.1");
        const ServerSettings second = makeServer("two", "10.0.0.2");
        Rig rig(listOf({first, second}, first.id));

        ServerSettings renamedSecond = second;
        renamedSecond.serverName = "deux";
        rig.model->saveServer(renamedSecond);
        QCOMPARE(rig.stored().servers, (QList<ServerSettings>{first, renamedSecond}));
        QCOMPARE(rig.model->settings(), first);

        const ServerSettings third = makeServer("three", "10.0.0.3");
        rig.model->saveServer(third);
        QCOMPARE(rig.stored().servers, (QList<ServerSettings>{first, renamedSecond, third}));
        QCOMPARE(rig.stored().defaultID, std::optional(first.id));

        ServerSettings editedCurrent = first;
        editedCurrent.externalURL = "cam.example.org";
        rig.model->saveServer(editedCurrent);
        QCOMPARE(rig.model->settings(), editedCurrent);
        QCOMPARE(rig.model->client()->settings(), editedCurrent.access());
    }

    void saveServerForgetsPinsOfItsHosts()
    {
        ServerSettings server = makeServer("one", "Box.lan:8971");
        server.externalURL = "https://cam.example.org/";
        Rig rig(listOf({}));
        const QStringList pinned{ServerTrust::pinKey("box.lan", 8971), ServerTrust::pinKey("cam.example.org", 443),
                                 ServerTrust::pinKey("cam.example.org", 8443)};
        const QString unrelated = ServerTrust::pinKey("other.lan", 8971);
        for (const QString &key : pinned + QStringList{unrelated})
            rig.preferences.setValue(key, QStringLiteral("ab12"));

        rig.model->saveServer(server);
        for (const QString &key : pinned)
            QVERIFY2(!rig.preferences.contains(key), qPrintable(key));
        QVERIFY(rig.preferences.contains(unrelated));
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

        const ServerSettings current = makeServer("one", "10.0.0.1", "admin");
        const ServerSettings other = makeServer("two", "10.0.0.2", "admin");
        for (const bool editCurrent : {true, false}) {
            Rig rig(listOf({current, other}, current.id));
            const ServerSettings &edited = editCurrent ? current : other;
            rig.setSecret(StateKeys::passwordAccount(edited.id), "pw");
            rig.setSecret(StateKeys::tokenAccount(edited.id), "tok");

            const QVariantMap fields{{"id", edited.idText().toLower()}, {"serverName", " Renamed "},
                                     {"internalURL", " 10.0.0.9:5000 "}, {"externalURL", "\tcam.example.org\n"},
                                     {"username", newUser}, {"password", "ignored here"}};
            const QString idText = runTask(rig.model->saveServerFields(fields));
            QCOMPARE(idText, edited.idText());

            const ServerSettings saved = *rig.stored().server(edited.id);
            QCOMPARE(saved.serverName, QStringLiteral("Renamed"));
            QCOMPARE(saved.internalURL, QStringLiteral("10.0.0.9:5000"));
            QCOMPARE(saved.externalURL, QStringLiteral("cam.example.org"));
            QCOMPARE(saved.username, newUser.trimmed());
            QCOMPARE(rig.secret(StateKeys::passwordAccount(edited.id)).has_value(), secretsKept);
            QCOMPARE(rig.secret(StateKeys::tokenAccount(edited.id)).has_value(), secretsKept);
            QCOMPARE(rig.stored().servers.size(), 2);
        }
    }

    void saveServerFromFieldsAddsNewServer()
    {
        Rig rig;
        const QVariantMap fields{{"serverName", "New"}, {"internalURL", "10.1.1.1"}, {"username", ""}};
        const QString idText = runTask(rig.model->saveServerFields(fields));
        const auto id = uuidFromText(idText);
        QVERIFY(id);
        const ServerSettings saved = *rig.stored().server(*id);
        QCOMPARE(saved.serverName, QStringLiteral("New"));
        QCOMPARE(saved.gridRefreshSeconds, 2.0);
        QVERIFY(saved.showDetections);
        QVERIFY(!saved.liveUsesSubstream);
    }

    void deleteServer_data()
    {
        QTest::addColumn<int>("deleteIndex");
        QTest::addColumn<int>("defaultIndex"); // -1: none
        QTest::addColumn<int>("currentIndex");
        QTest::addColumn<int>("expectedCurrentIndex"); // index in the original list
        QTest::newRow("other server: current stays") << 1 << 0 << 0 << 0;
        QTest::newRow("current: the default follows") << 0 << 2 << 0 << 2;
        QTest::newRow("current and default: the first follows") << 1 << 1 << 1 << 0;
    }

    void deleteServer()
    {
        QFETCH(int, deleteIndex);
        QFETCH(int, defaultIndex);
        QFETCH(int, currentIndex);
        QFETCH(int, expectedCurrentIndex);

        const QList<ServerSettings> servers{makeServer("a", "10.0.0.1"), makeServer("b", "10.0.0.2"),
                                            makeServer("c", "10.0.0.3")};
        Rig rig(listOf(servers, defaultIndex >= 0 ? std::optional(servers.at(defaultIndex).id) : std::nullopt));
        rig.model->selectServer(servers.at(currentIndex));
        for (const ServerSettings &server : servers) {
            rig.givePerServerPreferences(server);
            rig.setSecret(StateKeys::passwordAccount(server.id), "pw");
            rig.setSecret(StateKeys::tokenAccount(server.id), "tok");
        }
        const ServerSettings doomed = servers.at(deleteIndex);

        runTask(rig.model->deleteServer(doomed.id));
        QList<ServerSettings> remaining = servers;
        remaining.removeAt(deleteIndex);
        QCOMPARE(rig.stored().servers, remaining);
        QCOMPARE(rig.model->serverList().servers, remaining);
        if (defaultIndex == deleteIndex)
            QVERIFY(!rig.stored().defaultID);
        QVERIFY(!rig.hasAnyPerServerPreference(doomed));
        QVERIFY(!rig.secret(StateKeys::passwordAccount(doomed.id)));
        QVERIFY(!rig.secret(StateKeys::tokenAccount(doomed.id)));
        QCOMPARE(rig.model->settings(), servers.at(expectedCurrentIndex));
        QCOMPARE(rig.model->client()->settings(), servers.at(expectedCurrentIndex).access());
        for (const ServerSettings &server : remaining) {
            QVERIFY(rig.hasAnyPerServerPreference(server));
            QVERIFY(rig.secret(StateKeys::passwordAccount(server.id)));
        }
    }

    void deleteLastServerKeepsSettings()
    {
        const ServerSettings only = makeServer("a", "10.0.0.1", "admin");
        Rig rig(listOf({only}, only.id, true));
        rig.setSecret(StateKeys::tokenAccount(only.id), "tok");
        runTask(rig.model->client()->findServer()); // loads the stored token into the client
        QCOMPARE(rig.model->client()->token(), std::optional<QString>("tok"));

        runTask(rig.model->deleteServer(QUuid::createUuid()));
        QCOMPARE(rig.stored().servers.size(), 1);

        runTask(rig.model->deleteServer(only.id));
        QVERIFY(rig.stored().servers.isEmpty());
        QCOMPARE(rig.model->settings(), only);
        QVERIFY(!rig.model->client()->token());
        QVERIFY(!rig.secret(StateKeys::tokenAccount(only.id)));
    }

    void defaultAndAutoConnectAreStored()
    {
        const ServerSettings first = makeServer("a", "10.0.0.1");
        const ServerSettings second = makeServer("b", "10.0.0.2");
        Rig rig(listOf({first, second}));
        QSignalSpy serversChanged(rig.model.get(), &AppModel::serversChanged);

        rig.model->setDefaultServer(second.idText());
        QCOMPARE(rig.stored().defaultID, std::optional(second.id));
        QCOMPARE(rig.model->property("defaultID").toString(), second.idText());
        rig.model->setAutoConnect(true);
        QVERIFY(rig.stored().autoConnect);
        QVERIFY(rig.model->property("autoConnect").toBool());
        rig.model->setAutoConnect(true);
        QCOMPARE(serversChanged.count(), 2);

        rig.model->setDefaultServer(QString());
        QVERIFY(!rig.stored().defaultID);
        QCOMPARE(rig.model->property("defaultID").toString(), QString());
    }

    void markLogsSeenStoresMarker()
    {
        const ServerSettings server = makeServer("a", "10.0.0.1");
        Rig rig(listOf({server}));
        const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        rig.model->markLogsSeen();
        const double marker = rig.preferences.value(prefKey("logSeen", server)).toDouble();
        QVERIFY(marker >= before - 0.001);
        QVERIFY(marker <= QDateTime::currentMSecsSinceEpoch() / 1000.0 + 0.001);
    }

    void nothingToMarkChangesNothing()
    {
        Rig rig;
        runTask(rig.model->markReviewed({}, true));
        QCOMPARE(rig.model->reviewRevision(), 0);
        QVERIFY(rig.clock.requested().isEmpty());
    }

    // What the login and picker screens do: call an entry point and wait for its answer.
    void qmlCallsResolve()
    {
        const ServerSettings first = makeServer("one", "10.0.0.1", "admin");
        const ServerSettings second = makeServer("two", "10.0.0.2", "admin");
        Rig rig(listOf({first, second}));
        rig.setSecret(StateKeys::passwordAccount(second.id), "pw");
        AppModel::setInstance(rig.model.get());
        qmlRegisterSingletonType<AppModel>("KestrovaTest", 1, 0, "AppModel", &AppModel::create);

        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml
            import KestrovaTest
            QtObject {
                property var saved: []
                property string savedId: ""
                property string secondId: AppModel.servers[1].idText
                property string currentName: AppModel.settings.serverName
                property string defaultId: AppModel.defaultID
                Component.onCompleted: {
                    for (const server of AppModel.servers)
                        AppModel.hasSavedPassword(server.idText).then(function (has) { saved = saved.concat([has]) })
                    AppModel.saveServer({ serverName: "three", internalURL: " 10.0.0.3 " })
                        .then(function (id) { savedId = id })
                }
            })", QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("secondId").toString(), second.idText());
        QCOMPARE(object->property("currentName").toString(), QStringLiteral("one"));
        rig.model->selectServer(second);
        QCOMPARE(object->property("currentName").toString(), QStringLiteral("two"));
        QCOMPARE(object->property("defaultId").toString(), QString());
        QTRY_COMPARE(object->property("saved").toList(), (QVariantList{false, true}));
        QTRY_VERIFY(!object->property("savedId").toString().isEmpty());
        const auto third = rig.stored().server(*uuidFromText(object->property("savedId").toString()));
        QVERIFY(third);
        QCOMPARE(third->internalURL, QStringLiteral("10.0.0.3"));
        AppModel::setInstance(nullptr);
    }

    void qmlSingletonIsTheProcessInstance()
    {
        Rig rig;
        AppModel::setInstance(rig.model.get());
        QCOMPARE(AppModel::create(nullptr, nullptr), rig.model.get());
        QCOMPARE(QJSEngine::objectOwnership(rig.model.get()), QJSEngine::CppOwnership);
        AppModel::setInstance(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestAppModelState)
#include "tst_appmodel_state.moc"
