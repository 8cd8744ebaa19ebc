// The keychain store on a desktop without any secret service: no session bus at all.
#include "state/KeychainSecretStore.h"
#include "client/SecretAccounts.h"

#include <QSignalSpy>
#include <QtTest>
#include <QCoro/QCoroTask>

class TestKeychainUnavailable : public QObject
{
    Q_OBJECT

private slots:
    void operationsFailQuietly_data()
    {
        QTest::addColumn<bool>("writeFirst");
        QTest::newRow("read first") << false;
        QTest::newRow("write first") << true;
    }

    void operationsFailQuietly()
    {
        QFETCH(bool, writeFirst);
        KeychainSecretStore store;
        QSignalSpy availability(&store, &SecretStore::availableChanged);
        QVERIFY(store.isAvailable());
        const QString account = SecretAccounts::passwordAccount(QUuid::createUuid());

        if (writeFirst) {
            QCoro::waitFor(store.writeSecret(QStringLiteral("s3cret"), account));
            QVERIFY(!store.isAvailable());
        }
        QCOMPARE(QCoro::waitFor(store.readSecret(account)), std::optional<QString>());
        QCoro::waitFor(store.writeSecret(QStringLiteral("s3cret"), account));
        QCOMPARE(QCoro::waitFor(store.readSecret(account)), std::optional<QString>());

        QVERIFY(!store.isAvailable());
        // The login form is told once, not on every failed job.
        QCOMPARE(availability.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    // Set before anything opens a bus connection, whatever the environment running the test.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    // A job whose completion never arrives must fail the test, not hang it.
    qputenv("QTEST_FUNCTION_TIMEOUT", "60000");
    QCoreApplication app(argc, argv);
    TestKeychainUnavailable test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keychainunavailable.moc"
