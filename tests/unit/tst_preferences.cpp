#include "DiskConditions.h"
#include "state/MemoryPreferencesStore.h"
#include "state/SettingsPreferencesStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {

std::unique_ptr<PreferencesStore> makeStore(bool file, const QTemporaryDir &dir)
{
    if (file)
        return std::make_unique<SettingsPreferencesStore>(dir.filePath(QStringLiteral("Kestrova.ini")));
    return std::make_unique<MemoryPreferencesStore>();
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void valuesSurviveAReload_data()
    {
        QTest::addColumn<QVariant>("value");
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
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        const QString key = QStringLiteral("Kestrova.aspects.6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B");
        SettingsPreferencesStore(path).setValue(key, value);

        const SettingsPreferencesStore reader(copyOnDisk(path));
        QCOMPARE(reader.keys(), QStringList{key});
        QCOMPARE(reader.value(key).typeId(), value.typeId());
        QCOMPARE(reader.value(key), value);
    }

    // Keys the application writes, and characters QSettings gives a meaning of its own. Each key
    // gets its own value, so two keys that the file would fold into one show up.
    void keysSurviveAReload()
    {
        const QStringList keys{"trust.192.168.1.10:8971",
                               "trust.[fe80::1]:443",
                               "a/b",
                               "/leading",
                               "back\\slash",
                               "100%",
                               "spaces = ; , # \" '",
                               "%General",
                               "[section]",
                               "case",
                               "Località €"};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config/Kestrova/Kestrova.ini")); // folders are made
        {
            SettingsPreferencesStore writer(path);
            for (qsizetype i = 0; i < keys.size(); ++i)
                writer.setValue(keys[i], QStringLiteral("value %1").arg(i));
        }
        const SettingsPreferencesStore reader(copyOnDisk(path));
        QCOMPARE(sorted(reader.keys()), sorted(keys));
        for (qsizetype i = 0; i < keys.size(); ++i)
            QCOMPARE(reader.value(keys[i]), QVariant(QStringLiteral("value %1").arg(i)));
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
        const std::unique_ptr<PreferencesStore> store = makeStore(file, dir);
        QVERIFY(!store->value("trust.host:1").isValid());
        store->setValue("trust.host:1", QStringLiteral("aa"));
        store->setValue("trust.host:2", QStringLiteral("bb"));
        store->setValue("trust.host", QStringLiteral("cc"));
        store->setValue("trust.host:1", QStringLiteral("dd"));
        QCOMPARE(store->value("trust.host:1"), QVariant(QStringLiteral("dd")));
        store->remove("trust.host:1");
        store->remove("never.written");
        QVERIFY(!store->contains("trust.host:1"));
        // An empty key is no key: in particular removing it must not clear the store.
        store->setValue(QString(), QStringLiteral("x"));
        store->remove(QString());
        const QStringList expected{"trust.host", "trust.host:2"};
        QCOMPARE(store->keys(), expected);
        if (!file)
            return;
        // Removals reach the disk, and a second store on the file sees the first one's writes.
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        SettingsPreferencesStore second(path);
        second.remove("trust.host");
        QVERIFY(!store->contains("trust.host"));
        QCOMPARE(SettingsPreferencesStore(copyOnDisk(path)).keys(), QStringList{"trust.host:2"});
    }

    // Pins are written where TLS errors are reported, while the GUI thread reads and writes other
    // keys: every thread must see its own writes and none may be lost.
    void concurrentAccess()
    {
        constexpr int rounds = 12; // every write is flushed to disk
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Kestrova.ini"));
        SettingsPreferencesStore shared(path);
        const auto key = [](int thread, int round) { return QStringLiteral("trust.host%1:%2").arg(thread).arg(round); };
        constexpr int threadCount = 4;
        QAtomicInt mismatches;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                for (int i = 0; i < rounds; ++i) {
                    shared.setValue(key(t, i), i);
                    shared.setValue(QStringLiteral("Kestrova.shared"), double(t * 1000 + i));
                    if (shared.value(key(t, i)).toInt() != i)
                        mismatches.ref();
                    if (i % 2 == 1)
                        shared.remove(key(t, i - 1));
                    shared.keys();
                }
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));

        QCOMPARE(mismatches.loadRelaxed(), 0);
        const SettingsPreferencesStore check(copyOnDisk(path));
        QStringList expected{"Kestrova.shared"};
        for (int t = 0; t < threadCount; ++t) {
            for (int i = 1; i < rounds; i += 2)
                expected.append(key(t, i));
            QCOMPARE(check.value(key(t, rounds - 1)).toInt(), rounds - 1);
        }
        QCOMPARE(sorted(check.keys()), sorted(expected));
        QCOMPARE(int(check.value("Kestrova.shared").toDouble()) % 1000, rounds - 1);
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
