#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <QJsonDocument>
#include <QtTest>
#include <QCoro/QCoroTask>
#include <cmath>

namespace {

// JSON written with single quotes, to read without escapes.
QByteArray json(const char *singleQuoted)
{
    return QByteArray(singleQuoted).replace('\'', '"');
}

// Counts what reaches the store, to tell "nothing was written" from "the same was written".
class CountingPreferences : public MemoryPreferencesStore
{
public:
    void setValue(const QString &key, const QVariant &value) override
    {
        ++writes;
        MemoryPreferencesStore::setValue(key, value);
    }
    void remove(const QString &key) override
    {
        ++writes;
        MemoryPreferencesStore::remove(key);
    }
    int writes = 0;
};

// A keyring that reads and deletes but silently fails to add items.
class AddFailingSecrets : public SecretStore
{
public:
    QCoro::Task<std::optional<QString>> readSecret(QString account) override
    {
        co_return items.contains(account) ? std::optional(items.value(account)) : std::nullopt;
    }
    QCoro::Task<> writeSecret(std::optional<QString> value, QString account) override
    {
        if (!value)
            items.remove(account);
        co_return;
    }
    QHash<QString, QString> items;
};

ServerSettings makeServer(const QString &name, const QString &internalURL, const QString &externalURL = {})
{
    ServerSettings settings;
    settings.serverName = name;
    settings.internalURL = internalURL;
    settings.externalURL = externalURL;
    return settings;
}

QByteArray legacyBytes(const ServerSettings &settings)
{
    return QJsonDocument(settings.toJson()).toJson();
}

ServerList storedList(const PreferencesStore &prefs)
{
    const std::optional<ServerList> list = ServerList::decode(prefs.value("Kestrova.servers").toByteArray());
    if (!list)
        qFatal("no readable list stored");
    return *list;
}

} // namespace

class TestServerList : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<QString>("defaultID");
        QTest::addColumn<bool>("autoConnect");

        const QByteArray a = json("{'id':'11111111-2222-4333-8444-555555555555','internalURL':'http://a'}");
        const QByteArray b = json("{'id':'AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE','externalURL':'https://b'}");
        QTest::newRow("full") << QByteArray(json("{'servers':[") + a + "," + b
                                             + json("],'defaultID':'aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee','autoConnect':true}"))
                              << true << 2 << "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE" << true;
        QTest::newRow("no default") << QByteArray(json("{'servers':[") + a + json("],'autoConnect':false}"))
                                    << true << 1 << "" << false;
        QTest::newRow("default of no listed server") << json("{'servers':[],'defaultID':'11111111-2222-4333-8444-555555555555','autoConnect':false}")
                                                     << true << 0 << "11111111-2222-4333-8444-555555555555" << false;
        QTest::newRow("no autoConnect") << QByteArray(json("{'servers':[") + a + "]}") << false << 0 << "" << false;
        QTest::newRow("no servers") << json("{'autoConnect':true}") << false << 0 << "" << false;
        QTest::newRow("servers not a list") << json("{'servers':{},'autoConnect':true}") << false << 0 << "" << false;
        QTest::newRow("server with a wrong type") << json("{'servers':[{'showDetections':'yes'}],'autoConnect':true}")
                                                  << false << 0 << "" << false;
        QTest::newRow("autoConnect number") << json("{'servers':[],'autoConnect':1}") << false << 0 << "" << false;
        QTest::newRow("default not a uuid") << json("{'servers':[],'defaultID':'casa','autoConnect':true}")
                                            << false << 0 << "" << false;
        QTest::newRow("not JSON") << QByteArray("\x01\x02garbage") << false << 0 << "" << false;
        QTest::newRow("empty") << QByteArray() << false << 0 << "" << false;
    }

    void decode()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        const std::optional<ServerList> list = ServerList::decode(json);
        QCOMPARE(list.has_value(), decodes);
        if (!list)
            return;
        QTEST(int(list->servers.size()), "serverCount");
        QTEST(list->defaultIDText(), "defaultID");
        QTEST(list->autoConnect, "autoConnect");
    }

    void encodeRoundTrips_data()
    {
        QTest::addColumn<bool>("withDefault");
        QTest::newRow("with default") << true;
        QTest::newRow("without default") << false;
    }

    void encodeRoundTrips()
    {
        QFETCH(bool, withDefault);
        ServerList list;
        list.servers = {makeServer("Casa", "http://192.168.1.10:5000"), makeServer("", "", "https://nvr.example.org")};
        list.servers[1].gridRefreshSeconds = 0.5;
        list.autoConnect = true;
        if (withDefault)
            list.defaultID = list.servers[1].id;

        const std::optional<QByteArray> bytes = list.encode();
        QVERIFY(bytes);
        const QJsonObject object = QJsonDocument::fromJson(*bytes).object();
        QCOMPARE(object.contains("defaultID"), withDefault);
        if (withDefault)
            QCOMPARE(object.value("defaultID").toString(), list.servers[1].idText());
        QCOMPARE(object.value("servers").toArray().size(), 2);

        const std::optional<ServerList> decoded = ServerList::decode(*bytes);
        QVERIFY(decoded);
        QVERIFY(*decoded == list);
    }

    void saveWritesNothingItCannotEncode_data()
    {
        QTest::addColumn<double>("interval");
        QTest::newRow("nan") << std::nan("");
        QTest::newRow("infinity") << HUGE_VAL;
    }

    void saveWritesNothingItCannotEncode()
    {
        QFETCH(double, interval);
        MemoryPreferencesStore prefs;
        ServerList good;
        good.servers = {makeServer("Casa", "http://a")};
        saveServerList(prefs, good);
        const QVariant before = prefs.value("Kestrova.servers");

        ServerList bad = good;
        bad.servers.append(makeServer("Broken", "http://b"));
        bad.servers.last().gridRefreshSeconds = interval;
        QVERIFY(!bad.encode());
        saveServerList(prefs, bad);
        QCOMPARE(prefs.value("Kestrova.servers"), before);
        QCOMPARE(prefs.value("Kestrova.servers").typeId(), int(QMetaType::QByteArray));
    }

    void editing()
    {
        ServerList list;
        const ServerSettings a = makeServer("A", "http://a");
        const ServerSettings b = makeServer("B", "http://b");
        list.upsert(a);
        list.upsert(b);
        list.defaultID = b.id;

        ServerSettings renamed = a;
        renamed.serverName = QStringLiteral("A2");
        list.upsert(renamed);
        QCOMPARE(list.servers.size(), 2);
        QCOMPARE(list.servers[0].serverName, QStringLiteral("A2"));
        QCOMPARE(list.servers[1].id, b.id);
        QVERIFY(list.server(a.id) == renamed);
        QVERIFY(list.defaultServer() == b);
        QVERIFY(!list.server(QUuid::createUuid()));

        QVERIFY(!list.remove(QUuid::createUuid()));
        QCOMPARE(list.servers.size(), 2);
        QVERIFY(list.remove(a.id));
        QVERIFY(list.defaultID == b.id);
        QVERIFY(list.remove(b.id));
        QVERIFY(list.servers.isEmpty());
        QVERIFY(!list.defaultID);
    }

    void readableListIsLoadedWithoutWriting()
    {
        CountingPreferences prefs;
        MemorySecretStore secrets;
        ServerList list;
        list.servers = {makeServer("Casa", "http://a")};
        list.defaultID = list.servers[0].id;
        saveServerList(prefs, list);
        // An old single-server entry must not be migrated again over a readable list.
        prefs.setValue("Kestrova.settings", legacyBytes(makeServer("Old", "http://old")));
        const int writesBefore = prefs.writes;

        const ServerList loaded = QCoro::waitFor(loadServerList(prefs, secrets));
        QVERIFY(loaded == list);
        QCOMPARE(prefs.writes, writesBefore);
    }

    void loadingKeepsUnreadableListsAside_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("nothing stored: first launch") << QVariant() << 0 << false;
        QTest::newRow("list stored as text") << QVariant(QString::fromUtf8(json("{'servers':[{'id':'11111111-2222-4333-8444-555555555555'}],'autoConnect':true}")))
                                             << 1 << false;
        QTest::newRow("garbage bytes") << QVariant(QByteArray("\x00\xff{not json", 12)) << 0 << true;
        QTest::newRow("list without autoConnect") << QVariant(json("{'servers':[]}")) << 0 << true;
        QTest::newRow("number") << QVariant(3.5) << 0 << true;
    }

    // What cannot be read is kept under another key rather than lost when the list is saved.
    void loadingKeepsUnreadableListsAside()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, serverCount);
        QFETCH(bool, keptAside);
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        if (stored.isValid())
            prefs.setValue("Kestrova.servers", stored);

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), serverCount);
        QCOMPARE(prefs.value("Kestrova.servers.unreadable"), keptAside ? stored : QVariant());
        QVERIFY(storedList(prefs) == list);
    }

    void everyUnreadableListIsKept()
    {
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        const QByteArrayList broken{"first", "second", "third"};
        for (const QByteArray &bytes : broken) {
            prefs.setValue("Kestrova.servers", bytes);
            QCoro::waitFor(loadServerList(prefs, secrets));
        }
        QCOMPARE(prefs.value("Kestrova.servers.unreadable").toByteArray(), broken[0]);
        QCOMPARE(prefs.value("Kestrova.servers.unreadable.2").toByteArray(), broken[1]);
        QCOMPARE(prefs.value("Kestrova.servers.unreadable.3").toByteArray(), broken[2]);
    }

    void migratesTheSingleServer_data()
    {
        QTest::addColumn<bool>("withSecrets");
        QTest::addColumn<bool>("withPreferences");
        QTest::addColumn<bool>("unreadableList");
        QTest::newRow("everything") << true << true << false;
        QTest::newRow("settings only") << false << false << false;
        QTest::newRow("over an unreadable list") << true << true << true;
    }

    void migratesTheSingleServer()
    {
        QFETCH(bool, withSecrets);
        QFETCH(bool, withPreferences);
        QFETCH(bool, unreadableList);
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        ServerSettings old = makeServer("Casa", "http://192.168.1.10:5000", "https://nvr.example.org");
        old.username = QStringLiteral("admin");
        old.gridRefreshSeconds = 5;
        prefs.setValue("Kestrova.settings", legacyBytes(old));
        if (unreadableList)
            prefs.setValue("Kestrova.servers", QByteArray("{"));
        if (withSecrets) {
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("s3cret"), "password"));
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("tok.en"), "token"));
        }
        const QVariantMap aspects{{"door", 1.7777}, {"yard", 1.3333}};
        const QStringList order{"yard", "door"};
        if (withPreferences) {
            prefs.setValue("Kestrova.cameraOrder", order);
            prefs.setValue("Kestrova.aspects", aspects);
            prefs.setValue("Kestrova.logSeen", 1717000000.5);
        }

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        QVERIFY(list.servers[0] == old);
        QVERIFY(list.defaultID == old.id);
        QVERIFY(list.autoConnect);
        QVERIFY(storedList(prefs) == list);
        QCOMPARE(prefs.contains("Kestrova.servers.unreadable"), unreadableList);

        const QString id = old.idText();
        const QStringList expectedAccounts = withSecrets ? QStringList{"password." + id, "token." + id} : QStringList{};
        QCOMPARE(secrets.accounts(), expectedAccounts);
        if (withSecrets) {
            QCOMPARE(QCoro::waitFor(secrets.readSecret("password." + id)), std::optional<QString>("s3cret"));
            QCOMPARE(QCoro::waitFor(secrets.readSecret("token." + id)), std::optional<QString>("tok.en"));
        }

        for (const char *name : {"Kestrova.cameraOrder", "Kestrova.aspects", "Kestrova.logSeen"})
            QVERIFY2(!prefs.contains(name), name);
        QCOMPARE(prefs.contains("Kestrova.cameraOrder." + id), withPreferences);
        if (withPreferences) {
            QCOMPARE(prefs.value("Kestrova.cameraOrder." + id), QVariant(order));
            QCOMPARE(prefs.value("Kestrova.aspects." + id), QVariant(aspects));
            QCOMPARE(prefs.value("Kestrova.logSeen." + id), QVariant(1717000000.5));
        }
    }

    void migrationGivesAnIdWhenTheOldServerHadNone()
    {
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        prefs.setValue("Kestrova.settings", json("{'internalURL':'http://frigate.local:5000'}"));
        QCoro::waitFor(secrets.writeSecret(QStringLiteral("pw"), "password"));
        prefs.setValue("Kestrova.logSeen", 12.0);

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        const QString id = list.servers[0].idText();
        QVERIFY(list.defaultID == list.servers[0].id);
        QCOMPARE(secrets.accounts(), QStringList{"password." + id});
        QCOMPARE(prefs.value("Kestrova.logSeen." + id), QVariant(12.0));
        QVERIFY(storedList(prefs) == list);
    }

    void nothingToMigrate_data()
    {
        QTest::addColumn<QVariant>("legacy");
        QTest::newRow("server without addresses") << QVariant(legacyBytes(makeServer("Casa", "")));
        QTest::newRow("unreadable settings") << QVariant(json("{'internalURL':42}"));
        QTest::newRow("wrong value type") << QVariant(QStringList{"a", "b"});
    }

    void nothingToMigrate()
    {
        QFETCH(QVariant, legacy);
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        prefs.setValue("Kestrova.settings", legacy);
        prefs.setValue("Kestrova.logSeen", 12.0);
        QCoro::waitFor(secrets.writeSecret(QStringLiteral("pw"), "password"));

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QVERIFY(list.servers.isEmpty());
        QVERIFY(!list.autoConnect);
        QVERIFY(storedList(prefs) == list);
        QCOMPARE(secrets.accounts(), QStringList{"password"});
        QCOMPARE(prefs.value("Kestrova.logSeen"), QVariant(12.0));
        QCOMPARE(prefs.value("Kestrova.settings"), legacy);
    }

    void migrationKeepsASecretItCouldNotMove()
    {
        MemoryPreferencesStore prefs;
        AddFailingSecrets secrets;
        secrets.items.insert("password", "s3cret");
        prefs.setValue("Kestrova.settings", legacyBytes(makeServer("Casa", "http://a")));

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        QCOMPARE(secrets.items.value("password"), QStringLiteral("s3cret"));
        QVERIFY(!secrets.items.contains("password." + list.servers[0].idText()));
    }

    void migrationWithoutKeyring()
    {
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        secrets.setServiceMissing(true);
        prefs.setValue("Kestrova.settings", legacyBytes(makeServer("Casa", "http://a")));
        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        QVERIFY(list.autoConnect);
        QVERIFY(storedList(prefs) == list);
    }

    void canConnectWithoutAsking_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("passwordSaved");
        QTest::addColumn<bool>("passwordOfAnotherServer");
        QTest::addColumn<bool>("expected");
        QTest::newRow("no user, no password") << "" << false << false << true;
        QTest::newRow("user, another server's password") << "admin" << false << true << false;
        QTest::newRow("user and password") << "admin" << true << false << true;
        QTest::newRow("user without password") << "admin" << false << false << false;
    }

    void canConnectWithoutAsking()
    {
        QFETCH(QString, username);
        QFETCH(bool, passwordSaved);
        QFETCH(bool, passwordOfAnotherServer);
        MemorySecretStore secrets;
        ServerSettings server = makeServer("Casa", "http://a");
        server.username = username;
        if (passwordSaved)
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("pw"), "password." + server.idText()));
        if (passwordOfAnotherServer)
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("pw"), "password." + ServerSettings().idText()));
        QTEST(QCoro::waitFor(::canConnectWithoutAsking(server, secrets)), "expected");
    }
};

QTEST_GUILESS_MAIN(TestServerList)
#include "tst_serverlist.moc"
