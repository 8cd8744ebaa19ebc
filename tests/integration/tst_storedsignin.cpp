// Signing in while the keyring cannot be used: nothing stored is lost, and the user is told.
#include "SignedInModel.h"

#include <QtTest>

namespace {

struct Rig : SignedInModel
{
    ServerSettings listed;

    // A model over a list holding the fake server, its password saved when `withPassword`.
    bool start(bool withPassword)
    {
        if (!server.start())
            return false;
        listed = listedServer();
        if (withPassword)
            runTask(secrets.writeSecret(server.options().password, StateKeys::passwordAccount(listed.id)));
        ServerList list;
        list.servers = {listed};
        startModel(list);
        return true;
    }

    std::optional<QString> savedPassword()
    {
        return runTask(secrets.readSecret(StateKeys::passwordAccount(listed.id)));
    }
};

} // namespace

class TestStoredSignIn : public QObject
{
    Q_OBJECT

private slots:
    // The login form's Connect with a keyring that takes nothing: signed in all the same, the
    // server kept, and the form told the password will be asked for again.
    void passwordTheKeyringRefuses()
    {
        Rig rig;
        QVERIFY(rig.start(false));
        rig.secrets.setServiceMissing(true);
        QVariantMap fields{{"id", rig.listed.idText()},
                           {"internalURL", rig.listed.internalURL},
                           {"username", rig.listed.username},
                           {"password", rig.server.options().password}};
        const QVariantMap outcome = runTask(rig.model->saveServerAndConnectFields(fields));

        const QString notice = QStringLiteral(
            "Signed in, but the password could not be saved in the keyring: it will be asked for again.");
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(outcome.value("error").toString(), notice);
        QCOMPARE(rig.model->lastError(), std::optional(notice));
        QCOMPARE(rig.model->serverList().servers.size(), 1);

        // Once the keyring takes the password, the notice goes.
        rig.secrets.setServiceMissing(false);
        rig.model->disconnect();
        runTask(rig.model->saveServerAndConnectFields(fields));
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(rig.model->lastError(), std::optional<QString>());
        QCOMPARE(rig.savedPassword(), std::optional(rig.server.options().password));
    }

    // A keyring that cannot be read: a picker tap asks for the password instead of connecting
    // without it, and the saved password is still there once the keyring answers.
    void unreadableKeyringAsks()
    {
        Rig rig;
        QVERIFY(rig.start(true));
        rig.secrets.setServiceMissing(true);
        QVERIFY(!runTask(rig.model->connectToServerWithIdText(rig.listed.idText())));
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.model->property("secretStoreAvailable"), QVariant(false));

        rig.secrets.setServiceMissing(false);
        QCOMPARE(rig.savedPassword(), std::optional(rig.server.options().password));
        QVERIFY(runTask(rig.model->connectToServerWithIdText(rig.listed.idText())));
        QVERIFY(rig.model->isLoggedIn());
    }
};

QTEST_GUILESS_MAIN(TestStoredSignIn)
#include "tst_storedsignin.moc"
