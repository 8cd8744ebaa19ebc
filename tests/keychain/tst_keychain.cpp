// Runs under tests/keychain/with-keyring: a private gnome-keyring answers on the session bus.
#include "client/SecretAccounts.h"
#include "state/KeychainSecretStore.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <QCoro/QCoroTask>

namespace {

std::optional<QString> read(SecretStore &store, const QString &account)
{
    return QCoro::waitFor(store.readSecret(account));
}

void write(SecretStore &store, std::optional<QString> value, const QString &account)
{
    QCoro::waitFor(store.writeSecret(std::move(value), account));
}

// Another Secret Service client's view of an item, to check where the store puts it.
std::optional<QByteArray> lookUpElsewhere(const QString &account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {"lookup", "server", "org.kestrova.Kestrova", "user", account});
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

} // namespace

class TestKeychain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), "run through tests/keychain/with-keyring");
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("non-ascii") << QStringLiteral("pässwörd €🔑");
        QTest::newRow("spaces and line break") << QStringLiteral(" a b \nc ");
        QTest::newRow("empty") << QString(QLatin1String(""));
        QTest::newRow("long") << QString(4096, u'x');
    }

    void roundTrip()
    {
        QFETCH(QString, value);
        KeychainSecretStore store;
        QSignalSpy availability(&store, &SecretStore::availableChanged);
        const QString account = SecretAccounts::passwordAccount(QUuid::createUuid());

        write(store, QStringLiteral("replaced"), account);
        write(store, value, account);
        QCOMPARE(read(store, account), std::optional<QString>(value));
        QCOMPARE(lookUpElsewhere(account), std::optional<QByteArray>(value.toUtf8()));
        KeychainSecretStore another;
        QCOMPARE(read(another, account), std::optional<QString>(value));

        write(store, std::nullopt, account);
        QCOMPARE(read(store, account), std::optional<QString>());
        QCOMPARE(lookUpElsewhere(account), std::optional<QByteArray>());
        write(store, std::nullopt, account); // deleting what is not there is no failure
        QVERIFY(store.isAvailable());
        QCOMPARE(availability.count(), 0);
    }

    void storeGoneWhileAJobRuns()
    {
        auto *store = new KeychainSecretStore;
        const QString account = SecretAccounts::passwordAccount(QUuid::createUuid());
        write(*store, QStringLiteral("pw"), account);
        QCoro::Task<std::optional<QString>> pending = store->readSecret(account);
        delete store;
        QCOMPARE(QCoro::waitFor(pending), std::optional<QString>());
    }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "tst_keychain.moc"
