// The preferences file on a disk that refuses writes, and under a process killed while writing.
#include "DiskConditions.h"
#include "state/AppModel.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"
#include "state/SettingsPreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>
#include <QCoro/QCoroTask>
#include <cstring>

namespace {

const QString ServersKey = QStringLiteral("Kestrova.servers");
const QString SentinelKey = QStringLiteral("trust.nvr.example.org:443");

// "name|internalURL|externalURL|username|gridRefreshSeconds|liveUsesSubstream|showDetections"
QString serverText(const ServerSettings &server)
{
    return QStringList{server.displayName(), server.internalURL, server.externalURL, server.username,
                       QString::number(server.gridRefreshSeconds), QString::number(server.liveUsesSubstream),
                       QString::number(server.showDetections)}
        .join(u'|');
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The list the writing child stores in its round `generation`, `size` bytes or a little more.
QByteArray listOfGeneration(int generation, int size)
{
    ServerList list;
    ServerSettings server;
    server.id = QUuid(QStringLiteral("{6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b}"));
    server.serverName = QStringLiteral("generation %1 ").arg(generation).leftJustified(size, u'x');
    server.internalURL = QStringLiteral("http://192.168.1.10:5000");
    list.servers = {server};
    return list.encode().value_or(QByteArray());
}

// Child mode: rewrites the list as fast as it can, announcing the first write, until killed.
int writeUntilKilled(const QString &path, int size)
{
    SettingsPreferencesStore store(path);
    for (int generation = 0;; ++generation) {
        if (store.setValue(ServersKey, listOfGeneration(generation, size)))
            return 3;
        if (generation == 0) {
            fputs("ready\n", stdout);
            fflush(stdout);
        }
    }
}

} // namespace

class TestStoredFiles : public QObject
{
    Q_OBJECT

private slots:
    void failedWriteKeepsTheFile_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("keyExists");
        QTest::newRow("first write of the file") << false << false;
        QTest::newRow("new key") << true << false;
        QTest::newRow("replaced value") << true << true;
    }

    void failedWriteKeepsTheFile()
    {
        QFETCH(bool, fileExists);
        QFETCH(bool, keyExists);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        SettingsPreferencesStore store(path);
        if (fileExists) {
            QCOMPARE(store.setValue(SentinelKey, QString(600, u'a')), Status());
            if (keyExists)
                QCOMPARE(store.setValue(ServersKey, QByteArray("old")), Status());
        }
        const QByteArray before = fileBytes(path);
        const QVariant valueBefore = store.value(ServersKey);
        const QByteArray large(64 * 1024, 'n');

        Status failure;
        {
            const FileSizeLimit limit(before.size() + 1024);
            QVERIFY(limit.applied());
            failure = store.setValue(ServersKey, large);
        }
        QVERIFY(failure);
        QCOMPARE(failure->kind(), FrigateError::Kind::LocalFile);
        QCOMPARE(failure->detail(), QString::fromLocal8Bit(strerror(EFBIG)));
        QCOMPARE(QFile::exists(path), fileExists);
        QCOMPARE(fileBytes(path), before);
        // Nothing is left beside it, and no reader in this process sees the value that was lost.
        const QStringList expectedFiles = fileExists ? QStringList{"Kestrova.ini"} : QStringList{};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), expectedFiles);
        QCOMPARE(SettingsPreferencesStore(path).value(ServersKey), valueBefore);

        // Once the disk takes data again, the store writes as before.
        QCOMPARE(store.setValue(ServersKey, large), Status());
        QCOMPARE(SettingsPreferencesStore(copyOnDisk(path)).value(ServersKey), QVariant(large));
    }

    // A server saved while the disk refuses the list is kept for the session, and said.
    void unsavedServerListIsSaid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        SettingsPreferencesStore preferences(path);
        MemorySecretStore secrets;
        AppModel model(&preferences, &secrets);
        QCoro::waitFor(model.initialize());
        ServerSettings first;
        first.internalURL = QStringLiteral("http://192.168.1.10:5000");
        model.saveServer(first);
        QCOMPARE(model.lastError(), std::optional<QString>());
        const QByteArray before = fileBytes(path);

        QSignalSpy errorChanges(&model, &AppModel::lastErrorChanged);
        ServerSettings second;
        second.serverName = QString(64 * 1024, u'n');
        second.internalURL = QStringLiteral("http://192.168.1.11:5000");
        {
            const FileSizeLimit limit(before.size() + 1024);
            QVERIFY(limit.applied());
            model.saveServer(second);
        }
        const QString reason = QString::fromLocal8Bit(strerror(EFBIG));
        QCOMPARE(model.lastError(), std::optional<QString>("Could not save the server list: " + reason));
        QCOMPARE(errorChanges.count(), 1);
        QCOMPARE(model.serverList().servers.size(), 2);
        QCOMPARE(fileBytes(path), before);

        model.saveServer(second);
        QCOMPARE(model.lastError(), std::optional<QString>());
        const SettingsPreferencesStore reader(copyOnDisk(path));
        QCOMPARE(ServerList::decode(reader.value(ServersKey).toByteArray()), std::optional(model.serverList()));
    }

    // Files as older builds wrote them, some damaged: what is sound loads, the rest is dropped or
    // takes its default, and nothing else in the file is lost.
    void olderFilesLoad_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<bool>("autoConnect");
        QTest::addColumn<QVariantMap>("preferences"); // values expected after the load
        QTest::addColumn<bool>("keptAside"); // the stored list saved under another key first

        const QString casa = QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B");
        const QString ufficio = QStringLiteral("0B5E8C21-7D44-4A8E-9F10-2C3D4E5F6A7B");
        const QString third = QStringLiteral("D2C1B0A9-8877-4665-9544-332211000FED");
        QTest::newRow("single server of the first releases")
            << "single-server.ini"
            << QStringList{"Casa|http://192.168.1.10:5000|https://nvr.example.org|admin|3|1|0"} << "Casa" << true
            << QVariantMap{{"Kestrova.cameraOrder." + casa, QStringList{"yard", "door", "garage"}},
                           {"Kestrova.aspects." + casa, QVariantMap{{"door", 1.7777777777777777}, {"yard", 0.5625}}},
                           {"Kestrova.logSeen." + casa, 1717000000.5},
                           {"Kestrova.cameraOrder", QVariant()},
                           {"Kestrova.showBoxes", false},
                           {"trust.nvr.example.org:443", "5F:3A:9C"}}
            << false;
        QTest::newRow("server list")
            << "server-list.ini"
            << QStringList{"Casa|http://192.168.1.10:5000||admin|3|0|1",
                           "Ufficio||https://ufficio.example.org:8971||10|1|0",
                           "http://10.0.0.5|http://10.0.0.5||viewer|0.5|0|1"}
            << "Ufficio" << true
            << QVariantMap{{"Kestrova.cameraOrder." + ufficio, QStringList{"ingresso"}},
                           {"Kestrova.aspects." + casa, QVariantMap{{"door", 1.3333333333333333}}},
                           {"Kestrova.logSeen." + third, 1717000123.25},
                           {"trust.ufficio.example.org:8971", "AA:BB:CC"}}
            << false;
        QTest::newRow("edited by hand")
            << "hand-edited.ini" << QStringList{"http://nvr.lan:5000|http://nvr.lan:5000|||3|0|1"} << QString() << false
            << QVariantMap{{"Kestrova.showBoxes", "false"}} << false;
        QTest::newRow("damaged entries")
            << "partial-entries.ini"
            << QStringList{"Casa|http://192.168.1.10:5000||admin|3|0|1",
                           "Ufficio||https://ufficio.example.org:8971||2|0|0",
                           "http://10.0.0.5|http://10.0.0.5|||2|0|1",
                           "Id rotto|http://10.0.0.9|||2|0|1"}
            << "Ufficio" << false
            << QVariantMap{{"Kestrova.cameraOrder." + casa, QStringList{"yard", "door"}},
                           {"Kestrova.someLaterKey", "kept"}}
            << true;
    }

    void olderFilesLoad()
    {
        QFETCH(QString, fixture);
        QFETCH(QStringList, servers);
        QFETCH(QString, defaultName);
        QFETCH(bool, autoConnect);
        QFETCH(QVariantMap, preferences);
        QFETCH(bool, keptAside);
        QTemporaryDir dir;
        const QString path = dir.filePath(fixture);
        QVERIFY(QFile::copy(QStringLiteral(KESTROVA_TEST_DATA_DIR "/settings/") + fixture, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QVariant storedList = SettingsPreferencesStore(path).value(ServersKey);
        SettingsPreferencesStore store(path);
        MemorySecretStore secrets;

        const ServerList list = QCoro::waitFor(loadServerList(store, secrets));
        QStringList loaded;
        for (const ServerSettings &server : list.servers)
            loaded.append(serverText(server));
        QCOMPARE(loaded, servers);
        QCOMPARE(list.defaultServer() ? list.defaultServer()->displayName() : QString(), defaultName);
        QCOMPARE(list.autoConnect, autoConnect);
        for (auto it = preferences.cbegin(); it != preferences.cend(); ++it)
            QCOMPARE(store.value(it.key()), it.value());
        QCOMPARE(store.value(QStringLiteral("Kestrova.servers.unreadable")), keptAside ? storedList : QVariant());

        // What was loaded is on disk, whole: the next launch reads the same list as it stands.
        const SettingsPreferencesStore reader(copyOnDisk(path));
        QCOMPARE(ServerList::decode(reader.value(ServersKey).toByteArray()), std::optional(list));
    }

    void killedWriterLeavesOldOrNew_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("small list") << 64;
        QTest::newRow("64 KiB list") << 64 * 1024;
        QTest::newRow("1 MiB list") << 1024 * 1024;
    }

    // The writer is killed at random moments: the file always reads whole, every earlier value
    // kept, the list one the writer completed.
    void killedWriterLeavesOldOrNew()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        QCOMPARE(SettingsPreferencesStore(path).setValue(SentinelKey, QStringLiteral("AB:CD")), Status());
        for (int round = 0; round < 8; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--write-until-killed"), path, QString::number(size)});
            // Its first write ends in an fsync, which waits for whatever else the disk holds
            // dirty (a build just finished): patience, not a speed goal.
            QVERIFY(writer.waitForReadyRead(180000));
            QTest::qWait(QRandomGenerator::global()->bounded(1, 40));
            writer.kill();
            QVERIFY(writer.waitForFinished(30000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            const SettingsPreferencesStore reader(copyOnDisk(path));
            QCOMPARE(reader.value(SentinelKey), QVariant(QStringLiteral("AB:CD")));
            const QByteArray stored = reader.value(ServersKey).toByteArray();
            const std::optional<ServerList> list = ServerList::decode(stored);
            QVERIFY2(list && list->servers.size() == 1, stored.left(80).constData());
            const int generation = list->servers[0].serverName.section(u' ', 1, 1).toInt();
            QCOMPARE(stored, listOfGeneration(generation, size));
        }
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--write-until-killed") == 0)
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    TestStoredFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storedfiles.moc"
