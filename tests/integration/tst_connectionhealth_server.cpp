#include "SignedInModel.h"
#include "client/ServerTrust.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {

// A model signed in to a fake server with `options`, its first polling pass done.
struct Rig : SignedInModel
{
    bool start(const FakeFrigateOptions &options) { return server.start(options) && signIn(); }

    bool signIn()
    {
        ServerList list;
        list.servers = {listedServer()};
        startModel(list);
        return connect();
    }

    QString state() const { return model->health()->stateName(); }
};

} // namespace

class TestConnectionHealthServer : public QObject
{
    Q_OBJECT
private slots:
    void replacedCertificate()
    {
        Rig rig;
        QVERIFY(rig.start({.tls = true, .auth = false}));
        const QString before = rig.server.certificateFingerprint();
        const QString after = rig.server.replaceCertificate();
        QVERIFY(!after.isEmpty() && after != before);

        QVERIFY(rig.pass());
        QCOMPARE(rig.state(), QStringLiteral("certificateChanged"));
        const auto mismatch = rig.model->health()->mismatch();
        QVERIFY(mismatch);
        QCOMPARE(mismatch->pinned, before);
        QCOMPARE(mismatch->offered, after);
        QVERIFY(rig.model->stats()); // the last figures stay, marked stale

        runTask(rig.model->trustOfferedCertificate());
        QVERIFY(rig.settle());
        QCOMPARE(rig.state(), QStringLiteral("ok"));
        const QString pin = rig.preferences.value(ServerTrust::pinKey(mismatch->host, mismatch->port)).toString();
        QCOMPARE(pin, after);
        QVERIFY(rig.pass());
        QCOMPARE(rig.state(), QStringLiteral("ok"));
    }

    // Stopped, or behind a proxy answering 502, the server is lost at the second failed pass, not
    // the first; back, a retry or the next pass finds it.
    void lostAndBack_data()
    {
        QTest::addColumn<bool>("proxied");
        QTest::addColumn<bool>("retry");
        QTest::newRow("stopped, next pass") << false << false;
        QTest::newRow("stopped, retry") << false << true;
        QTest::newRow("502, next pass") << true << false;
    }

    void lostAndBack()
    {
        QFETCH(bool, proxied);
        QFETCH(bool, retry);
        Rig rig;
        QVERIFY(rig.start({.auth = false}));
        const int port = rig.server.port();
        if (proxied)
            rig.server.addFault({{"path", "^/api/stats$"}, {"status", 502}});
        else
            rig.server.stop();

        QVERIFY(rig.pass());
        QCOMPARE(rig.state(), QStringLiteral("ok"));
        QVERIFY(rig.pass());
        QCOMPARE(rig.state(), QStringLiteral("lost"));
        QVERIFY(rig.model->stats());
        QVERIFY(rig.model->health()->lastUpdatedText().startsWith(QStringLiteral("Last updated ")));
        QVERIFY(rig.pass());
        QCOMPARE(rig.state(), QStringLiteral("lost"));

        if (proxied)
            rig.server.clearFaults();
        else
            QVERIFY(rig.server.start({.auth = false, .port = port}));
        if (retry) {
            runTask(rig.model->retryConnection());
            QTRY_COMPARE(rig.state(), QStringLiteral("ok"));
        } else {
            QVERIFY(rig.pass());
            QCOMPARE(rig.state(), QStringLiteral("ok"));
        }
        QVERIFY(rig.model->isLoggedIn());
    }

    // Tokens expire and the saved password no longer signs in: signed out at the first pass that
    // meets it. "Sign in again" leaves the tabs asking for this server's form.
    void expiredSignIn()
    {
        Rig rig;
        QVERIFY(rig.server.start());
        // A token's lifetime is fixed when it is made: this one's is a second.
        rig.server.configure({{"session_length", 1}});
        QVERIFY(rig.signIn());
        rig.server.configure({{"users", QJsonObject{{"admin", "changed"}}}});
        // Requests still running after the sign-in (aspect probes) may refresh the token: the pass
        // after a quiet second meets the expired one.
        for (int pass = 0; pass < 5 && rig.state() == QLatin1String("ok"); ++pass) {
            QTest::qWait(1200);
            QVERIFY(rig.pass());
        }
        QCOMPARE(rig.state(), QStringLiteral("signedOut"));

        rig.model->signInAgain();
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.model->signInRequest(), rig.model->settings().idText());
        QCOMPARE(rig.state(), QStringLiteral("ok"));
    }
};

QTEST_MAIN(TestConnectionHealthServer)
#include "tst_connectionhealth_server.moc"
