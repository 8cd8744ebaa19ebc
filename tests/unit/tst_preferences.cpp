#include "state/MemoryPreferencesStore.h"
#include "state/SettingsPreferencesStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {

QString iniIn(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("Kestrova.ini"));
}

// QSettings answers from a per-process cache of each file it has seen; a copy under a new name
// can only be answered from what actually reached the disk.
QString copyOnDisk(const QString &path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".copy%1.ini").arg(++copies);
    if (!QFile::copy(path, copy))
        qFatal("cannot copy %s", qPrintable(path));
    return copy;
}

// Keys the application writes, and characters QSettings gives a meaning of its own.
QStringList trickyKeys()
{
    return {
        QStringLiteral("trust.192.168.1.10:8971"),
        QStringLiteral("trust.[fe80::1]:443"),
        QStringLiteral("Kestrova.aspects.6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B"),
        QStringLiteral("a/b"),
        QStringLiteral("/leading"),
        QStringLiteral("back\\slash"),
        QStringLiteral("100%"),
        QStringLiteral("spaces = ; , # \" '"),
        QStringLiteral("%General"),
        QStringLiteral("[section]"),
        QStringLiteral("case"),
        QStringLiteral("Località €"),
    };
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void valuesSurviveAReload_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("text") << QVariant(QStringLiteral("a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8f90"));
        QTest::newRow("text starting with @") << QVariant(QStringLiteral("@Variant(x)"));
        QTest::newRow("text with a line break") << QVariant(QStringLiteral("one\ntwo"));
        QTest::newRow("double") << QVariant(1717000000.25);
        QTest::newRow("bool") << QVariant(false);
        QTest::newRow("json bytes") << QVariant(QByteArray(R"({"servers":[],"autoConnect":false})"));
        QTest::newRow("binary bytes") << QVariant(QByteArray("\x00\x01\xff\n=", 5));
        QTest::newRow("one-name list") << QVariant(QStringList{"door"});
        QTest::newRow("list") << QVariant(QStringList{"door", "yard, back", ""});
        QTest::newRow("aspects") << QVariant(QVariantMap{{"door", 1.7777777}, {"yard cam", 0.5625}});
    }

    void valuesSurviveAReload()
    {
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        const QString key = QStringLiteral("Kestrova.aspects.6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B");
        SettingsPreferencesStore(iniIn(dir)).setValue(key, value);

        const SettingsPreferencesStore reader(copyOnDisk(iniIn(dir)));
        QCOMPARE(reader.keys(), QStringList{key});
        const QVariant read = reader.value(key);
        QCOMPARE(read.typeId(), value.typeId());
        QCOMPARE(read, value);
    }

    // Each key gets its own value, so two keys that the file would fold into one show up.
    void keysSurviveAReload()
    {
        QTemporaryDir dir;
        const QStringList keys = trickyKeys();
        {
            SettingsPreferencesStore writer(iniIn(dir));
            for (qsizetype i = 0; i < keys.size(); ++i)
                writer.setValue(keys[i], QStringLiteral("value %1").arg(i));
        }
        const SettingsPreferencesStore reader(copyOnDisk(iniIn(dir)));
        QStringList sortedKeys = keys;
        sortedKeys.sort();
        QStringList readKeys = reader.keys();
        readKeys.sort();
        QCOMPARE(readKeys, sortedKeys);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            QVERIFY2(reader.contains(keys[i]), qPrintable(keys[i]));
            QCOMPARE(reader.value(keys[i]), QVariant(QStringLiteral("value %1").arg(i)));
        }
    }

    void storesAgree_data()
    {
        QTest::addColumn<bool>("file");
        QTest::newRow("memory") << false;
        QTest::newRow("file") << true;
    }

    void storesAgree()
    {
        QFETCH(bool, file);
        QTemporaryDir dir;
        std::unique_ptr<PreferencesStore> store;
        if (file)
            store = std::make_unique<SettingsPreferencesStore>(iniIn(dir));
        else
            store = std::make_unique<MemoryPreferencesStore>();

        QVERIFY(!store->contains("trust.host:1"));
        QVERIFY(!store->value("trust.host:1").isValid());
        store->setValue("trust.host:1", QStringLiteral("aa"));
        store->setValue("trust.host:2", QStringLiteral("bb"));
        store->setValue("trust.host", QStringLiteral("cc"));
        store->setValue("trust.host:1", QStringLiteral("dd"));
        QCOMPARE(store->value("trust.host:1"), QVariant(QStringLiteral("dd")));
        QCOMPARE(store->keys(), (QStringList{"trust.host", "trust.host:1", "trust.host:2"}));

        store->remove("trust.host:1");
        store->remove("never.written");
        QVERIFY(!store->contains("trust.host:1"));
        QCOMPARE(store->keys(), (QStringList{"trust.host", "trust.host:2"}));

        // An empty key is no key: in particular removing it must not clear the store.
        store->setValue(QString(), QStringLiteral("x"));
        store->remove(QString());
        QCOMPARE(store->keys(), (QStringList{"trust.host", "trust.host:2"}));
    }

    // Removals reach the disk, two stores on one file share it, missing folders are made.
    void fileStoreOnDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config/Kestrova/Kestrova.ini"));
        SettingsPreferencesStore first(path);
        SettingsPreferencesStore second(path);
        first.setValue("Kestrova.logSeen.X", 10.0);
        first.setValue("Kestrova.logSeen.Y", 20.0);
        QCOMPARE(second.value("Kestrova.logSeen.X"), QVariant(10.0));
        second.remove("Kestrova.logSeen.X");
        QVERIFY(!first.contains("Kestrova.logSeen.X"));

        const SettingsPreferencesStore reader(copyOnDisk(path));
        QCOMPARE(reader.keys(), QStringList{"Kestrova.logSeen.Y"});
        QCOMPARE(reader.value("Kestrova.logSeen.Y"), QVariant(20.0));
    }

    void concurrentAccess_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("rounds");
        QTest::newRow("memory") << false << 400;
        // Every file write is flushed to disk, which takes a while.
        QTest::newRow("file") << true << 12;
    }

    // Pins are written where TLS errors are reported, while the GUI thread reads and writes other
    // keys: every thread must see its own writes and none may be lost.
    void concurrentAccess()
    {
        QFETCH(bool, file);
        QFETCH(int, rounds);
        QTemporaryDir dir;
        std::unique_ptr<PreferencesStore> store;
        if (file)
            store = std::make_unique<SettingsPreferencesStore>(iniIn(dir));
        else
            store = std::make_unique<MemoryPreferencesStore>();

        constexpr int threadCount = 4;
        QAtomicInt mismatches;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                for (int i = 0; i < rounds; ++i) {
                    const QString key = QStringLiteral("trust.host%1:%2").arg(t).arg(i);
                    const QString pin = QStringLiteral("%1-%2").arg(t).arg(i);
                    store->setValue(key, pin);
                    store->setValue(QStringLiteral("Kestrova.shared"), double(t * 1000 + i));
                    if (store->value(key).toString() != pin)
                        mismatches.ref();
                    if (i % 2 == 1)
                        store->remove(QStringLiteral("trust.host%1:%2").arg(t).arg(i - 1));
                    store->keys();
                }
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));

        QCOMPARE(mismatches.loadRelaxed(), 0);
        std::unique_ptr<PreferencesStore> reader;
        if (file)
            reader = std::make_unique<SettingsPreferencesStore>(copyOnDisk(iniIn(dir)));
        const PreferencesStore &check = file ? *reader : *store;
        QStringList expected{"Kestrova.shared"};
        for (int t = 0; t < threadCount; ++t) {
            for (int i = 1; i < rounds; i += 2)
                expected.append(QStringLiteral("trust.host%1:%2").arg(t).arg(i));
        }
        expected.sort();
        QStringList keys = check.keys();
        keys.sort();
        QCOMPARE(keys, expected);
        for (int t = 0; t < threadCount; ++t)
            QCOMPARE(check.value(QStringLiteral("trust.host%1:%2").arg(t).arg(rounds - 1)).toString(),
                     QStringLiteral("%1-%2").arg(t).arg(rounds - 1));
        const int shared = int(check.value("Kestrova.shared").toDouble());
        QCOMPARE(shared % 1000, rounds - 1);
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
