// Runs under tests/keychain/with-keyring: a private gnome-keyring answers on the session bus.
#include "client/SecretAccounts.h"
#include "state/KeychainSecretStore.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <QCoro/QCoroTask>
#include <csignal>

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

// Whether the keyring holds an item for the account, locked or not.
bool isListed(const QString &account)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("secret-tool"), {"search", "server", "org.kestrova.Kestrova", "user", account});
    tool.waitForFinished(10000);
    return tool.readAll().contains("attribute.user = " + account.toUtf8());
}

bool lockKeyring()
{
    return QProcess::execute(QStringLiteral("dbus-send"),
                             {"--session", "--print-reply", "--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
                              "org.freedesktop.Secret.Service.Lock",
                              "array:objpath:/org/freedesktop/secrets/collection/login"})
        == 0;
}

// The keyring daemon answers nothing while one of these lives.
class SilentKeyring
{
public:
    explicit SilentKeyring(pid_t daemon) : m_daemon(daemon) { ::kill(m_daemon, SIGSTOP); }
    ~SilentKeyring() { ::kill(m_daemon, SIGCONT); }
    Q_DISABLE_COPY_MOVE(SilentKeyring)

private:
    pid_t m_daemon;
};

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

    // A keyring that does not answer (as a locked one waiting on an unlock prompt nobody sees)
    // must not hold a sign-in: the read gives up, the keyring still silent, and the secret is
    // there once it answers again. D-Bus itself gives up on a call only after 25 s.
    void silentKeyringTimesOut()
    {
        const pid_t daemon = qEnvironmentVariableIntValue("KESTROVA_KEYRING_DAEMON_PID");
        QVERIFY2(daemon > 0, "run through tests/keychain/with-keyring");
        KeychainSecretStore store;
        const QString account = SecretAccounts::passwordAccount(QUuid::createUuid());
        write(store, QStringLiteral("kept"), account);
        store.setJobTimeout(std::chrono::milliseconds(500));
        {
            const SilentKeyring silent(daemon);
            QCoro::Task<std::optional<QString>> pending = store.readSecret(account);
            QTRY_VERIFY_WITH_TIMEOUT(pending.isReady(), 15000);
            QCOMPARE(QCoro::waitFor(pending), std::optional<QString>());
            QVERIFY(!store.isAvailable());
        }
        KeychainSecretStore another;
        QCOMPARE(read(another, account), std::optional<QString>("kept"));
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

    // Last: the keyring stays locked. Reads and writes fail (the unlock prompt cannot be shown
    // here), and neither removes the item. A locked read reports no item rather than an error.
    void lockedKeyringKeepsTheSecret()
    {
        KeychainSecretStore store;
        const QString account = SecretAccounts::passwordAccount(QUuid::createUuid());
        write(store, QStringLiteral("kept"), account);
        QVERIFY(lockKeyring());
        QCOMPARE(read(store, account), std::optional<QString>());
        write(store, QStringLiteral("typed"), account);
        QVERIFY(!store.isAvailable());
        QVERIFY(isListed(account));
    }
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "tst_keychain.moc"
