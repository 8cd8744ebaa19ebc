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

// A keyring that reads and deletes but silently fails to add items.
class AddFailingSecrets : public MemorySecretStore
{
public:
    QCoro::Task<> writeSecret(std::optional<QString> value, QString account) override
    {
        if (!value)
            co_await MemorySecretStore::writeSecret(std::nullopt, account);
    }
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
    return ServerList::decode(prefs.value("Kestrova.servers").toByteArray()).value_or(ServerList{});
}

std::optional<QString> secretOf(SecretStore &secrets, const QString &account)
{
    return QCoro::waitFor(secrets.readSecret(account));
}

} // namespace

class TestServerList : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected"); // "servers|default|autoConnect", empty when it does not decode

        const QByteArray a = json("{'id':'11111111-2222-4333-8444-555555555555','internalURL':'http://a'}");
        const QByteArray b = json("{'id':'AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE','externalURL':'https://b'}");
        QTest::newRow("full") << json("{'servers':[") + a + "," + b
                                     + json("],'defaultID':'aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee','autoConnect':true}")
                              << "2|AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE|1";
        QTest::newRow("no default") << json("{'servers':[") + a + json("],'autoConnect':false}") << "1||0";
        QTest::newRow("default of no listed server")
            << json("{'servers':[],'defaultID':'11111111-2222-4333-8444-555555555555','autoConnect':false}")
            << "0|11111111-2222-4333-8444-555555555555|0";
        QTest::newRow("no autoConnect") << json("{'servers':[") + a + "]}" << QString();
        QTest::newRow("no servers") << json("{'autoConnect':true}") << QString();
        QTest::newRow("servers not a list") << json("{'servers':{},'autoConnect':true}") << QString();
        QTest::newRow("server with a wrong type")
            << json("{'servers':[{'showDetections':'yes'}],'autoConnect':true}") << QString();
        QTest::newRow("autoConnect number") << json("{'servers':[],'autoConnect':1}") << QString();
        QTest::newRow("default not a uuid")
            << json("{'servers':[],'defaultID':'casa','autoConnect':true}") << QString();
        QTest::newRow("not JSON") << QByteArray("\x01\x02garbage") << QString();
    }

    void decode()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const std::optional<ServerList> list = ServerList::decode(json);
        QCOMPARE(list.has_value(), !expected.isEmpty());
        if (list)
            QCOMPARE(
                QStringLiteral("%1|%2|%3").arg(list->servers.size()).arg(list->defaultIDText()).arg(list->autoConnect),
                expected);
    }

    void encodeRoundTrips()
    {
        for (const bool withDefault : {true, false}) {
            ServerList list;
            list.servers = {makeServer("Casa", "http://a:5000"), makeServer("", "", "https://nvr.example.org")};
            list.servers[0].username = QStringLiteral("admin");
            list.servers[0].liveUsesSubstream = true;
            list.servers[0].showDetections = false;
            list.servers[1].gridRefreshSeconds = 0.5;
            list.autoConnect = true;
            if (withDefault)
                list.defaultID = list.servers[1].id;
            const std::optional<QByteArray> bytes = list.encode();
            QVERIFY(bytes);
            QCOMPARE(QJsonDocument::fromJson(*bytes).object().contains("defaultID"), withDefault);
            QVERIFY(ServerList::decode(*bytes) == list);
        }
    }

    void saveWritesNothingItCannotEncode()
    {
        MemoryPreferencesStore prefs;
        ServerList good;
        good.servers = {makeServer("Casa", "http://a")};
        saveServerList(prefs, good);
        const QVariant before = prefs.value("Kestrova.servers");
        for (const double interval : {std::nan(""), HUGE_VAL}) {
            ServerList bad = good;
            bad.servers.append(makeServer("Broken", "http://b"));
            bad.servers.last().gridRefreshSeconds = interval;
            saveServerList(prefs, bad);
            QCOMPARE(prefs.value("Kestrova.servers"), before);
        }
    }

    void readableListIsLoadedWithoutWriting()
    {
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        ServerList list;
        list.servers = {makeServer("Casa", "http://a")};
        list.defaultID = list.servers[0].id;
        saveServerList(prefs, list);
        // An old single-server entry must not be migrated again over a readable list.
        prefs.setValue("Kestrova.settings", legacyBytes(makeServer("Old", "http://old")));
        const auto everything = [&prefs] {
            QVariantMap stored;
            for (const QString &key : prefs.keys())
                stored.insert(key, prefs.value(key));
            return stored;
        };
        const QVariantMap before = everything();

        QVERIFY(QCoro::waitFor(loadServerList(prefs, secrets)) == list);
        QCOMPARE(everything(), before);
    }

    void loadingKeepsUnreadableListsAside_data()
    {
        QTest::addColumn<QVariantList>("stored"); // one load per value
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<QVariantList>("keptAside"); // .unreadable, .unreadable.2, ...
        QTest::newRow("nothing stored: first launch") << QVariantList{QVariant()} << 0 << QVariantList();
        const QByteArray text = json("{'servers':[{'id':'11111111-2222-4333-8444-555555555555'}],'autoConnect':true}");
        QTest::newRow("list stored as text") << QVariantList{QString::fromUtf8(text)} << 1 << QVariantList();
        const QVariant garbage = QByteArray("\x00\xff{not json", 12);
        QTest::newRow("garbage bytes") << QVariantList{garbage} << 0 << QVariantList{garbage};
        QTest::newRow("list without autoConnect")
            << QVariantList{json("{'servers':[]}")} << 0 << QVariantList{json("{'servers':[]}")};
        QTest::newRow("number") << QVariantList{3.5} << 0 << QVariantList{3.5};
        const QVariantList three{QByteArray("first"), QByteArray("second"), QByteArray("third")};
        QTest::newRow("every one is kept") << three << 0 << three;
    }

    // What cannot be read is kept under another key rather than lost when the list is saved.
    void loadingKeepsUnreadableListsAside()
    {
        QFETCH(QVariantList, stored);
        QFETCH(int, serverCount);
        QFETCH(QVariantList, keptAside);
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        ServerList list;
        for (const QVariant &value : stored) {
            if (value.isValid())
                prefs.setValue("Kestrova.servers", value);
            list = QCoro::waitFor(loadServerList(prefs, secrets));
        }
        QCOMPARE(list.servers.size(), serverCount);
        QVERIFY(storedList(prefs) == list);
        QVariantList aside;
        for (const QString &key : prefs.keys()) {
            if (key.startsWith("Kestrova.servers.unreadable"))
                aside.append(prefs.value(key));
        }
        QCOMPARE(aside, keptAside);
    }

    void migratesTheSingleServer_data()
    {
        QTest::addColumn<bool>("withExtras"); // secrets and per-server preferences
        QTest::addColumn<bool>("unreadableList");
        QTest::addColumn<bool>("withId");
        QTest::newRow("everything") << true << false << true;
        QTest::newRow("settings only") << false << false << true;
        QTest::newRow("over an unreadable list") << true << true << true;
        QTest::newRow("old server without an id gets one") << true << false << false;
    }

    void migratesTheSingleServer()
    {
        QFETCH(bool, withExtras);
        QFETCH(bool, unreadableList);
        QFETCH(bool, withId);
        MemoryPreferencesStore prefs;
        MemorySecretStore secrets;
        ServerSettings old = makeServer("Casa", "http://192.168.1.10:5000", "https://nvr.example.org");
        old.username = QStringLiteral("admin");
        old.gridRefreshSeconds = 5;
        QJsonObject legacy = old.toJson();
        if (!withId)
            legacy.remove("id");
        prefs.setValue("Kestrova.settings", QJsonDocument(legacy).toJson());
        if (unreadableList)
            prefs.setValue("Kestrova.servers", QByteArray("{"));
        const QVariantMap moved{{"Kestrova.cameraOrder", QStringList{"yard", "door"}},
                                {"Kestrova.aspects", QVariantMap{{"door", 1.7777}}},
                                {"Kestrova.logSeen", 1717000000.5}};
        if (withExtras) {
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("s3cret"), "password"));
            QCoro::waitFor(secrets.writeSecret(QStringLiteral("tok.en"), "token"));
            for (auto it = moved.begin(); it != moved.end(); ++it)
                prefs.setValue(it.key(), it.value());
        }

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        if (!withId) {
            QVERIFY(!list.servers[0].id.isNull());
            old.id = list.servers[0].id;
        }
        QCOMPARE(list.servers[0], old);
        QVERIFY(list.defaultID == old.id && list.autoConnect);
        QVERIFY(storedList(prefs) == list);
        QCOMPARE(prefs.contains("Kestrova.servers.unreadable"), unreadableList);

        const QString id = old.idText();
        const QStringList expectedAccounts = withExtras ? QStringList{"password." + id, "token." + id} : QStringList{};
        QCOMPARE(secrets.accounts(), expectedAccounts);
        if (withExtras) {
            QCOMPARE(secretOf(secrets, "password." + id), std::optional<QString>("s3cret"));
            QCOMPARE(secretOf(secrets, "token." + id), std::optional<QString>("tok.en"));
        }
        for (auto it = moved.begin(); it != moved.end(); ++it) {
            QVERIFY2(!prefs.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(prefs.value(it.key() + '.' + id), withExtras ? it.value() : QVariant());
        }
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
        QVERIFY(list.servers.isEmpty() && !list.autoConnect);
        QVERIFY(storedList(prefs) == list);
        QCOMPARE(secrets.accounts(), QStringList{"password"});
        QCOMPARE(prefs.value("Kestrova.logSeen"), QVariant(12.0));
        QCOMPARE(prefs.value("Kestrova.settings"), legacy);
    }

    // A keyring that cannot add, or none at all: the server moves, an old secret stays where it was.
    void migrationWithABrokenKeyring_data()
    {
        QTest::addColumn<bool>("serviceMissing");
        QTest::newRow("adding fails") << false;
        QTest::newRow("no keyring") << true;
    }

    void migrationWithABrokenKeyring()
    {
        QFETCH(bool, serviceMissing);
        MemoryPreferencesStore prefs;
        AddFailingSecrets secrets;
        QCoro::waitFor(secrets.MemorySecretStore::writeSecret(QStringLiteral("s3cret"), "password"));
        secrets.setServiceMissing(serviceMissing);
        prefs.setValue("Kestrova.settings", legacyBytes(makeServer("Casa", "http://a")));

        const ServerList list = QCoro::waitFor(loadServerList(prefs, secrets));
        QCOMPARE(list.servers.size(), 1);
        QVERIFY(list.autoConnect);
        QVERIFY(storedList(prefs) == list);
        secrets.setServiceMissing(false);
        QCOMPARE(secrets.accounts(), QStringList{"password"});
    }
};

QTEST_GUILESS_MAIN(TestServerList)
#include "tst_serverlist.moc"
