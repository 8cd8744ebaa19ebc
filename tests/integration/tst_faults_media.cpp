#include "LiveRig.h"
#include "TaskRunner.h"
#include "playback/PlaybackError.h"
#include "playback/PlayerController.h"

#include <QJsonObject>
#include <QTest>

// Recordings over HLS and the live picture under a misbehaving server: each case ends in an error
// or plays again once the server is back, within a bounded wait, and no picture counts as live
// while none comes.
namespace {

constexpr int Patience = 45000; // ms; generous for a loaded machine, never a speed goal
const QString Camera = QStringLiteral("front_door");

QString liveText(const LiveStatus &status)
{
    switch (status.kind) {
    case LiveStatus::Kind::Playing:
        return QStringLiteral("playing ") + status.text;
    case LiveStatus::Kind::Error:
        return QStringLiteral("error ") + status.text;
    case LiveStatus::Kind::Loading:
        return QStringLiteral("loading");
    case LiveStatus::Kind::Reconnecting:
        return QStringLiteral("reconnecting");
    }
    return {};
}

// Every status the session goes through, as text.
struct Live : LiveRig
{
    QStringList statuses;

    bool start(const FakeFrigateOptions &options)
    {
        if (!LiveRig::start(options))
            return false;
        QObject::connect(session.get(), &LiveSession::statusChanged, session.get(),
                         [this] { statuses.append(liveText(session->status())); });
        return true;
    }
    QString status() const { return liveText(session->status()); }
};

} // namespace

class TestFaultsMedia : public QObject
{
    Q_OBJECT

private slots:
    // A recording playing when its server misbehaves.
    void recording_data()
    {
        QTest::addColumn<QString>("fault"); // "restart", "certificate", or a fault's path then its JSON
        QTest::addColumn<QJsonObject>("injected");
        QTest::addColumn<QString>("expected"); // "error <text>" or "recovers"

        QTest::newRow("server restarted") << "restart" << QJsonObject() << "error " + FrigateError::unreachable().message();
        QTest::newRow("certificate replaced") << "certificate" << QJsonObject() << "error " + PlaybackError::certificateChanged();
        QTest::newRow("segment 503") << "fault" << QJsonObject{{"path", "/seg-"}, {"status", 503}}
                                     << "error " + FrigateError::http(503).message();
        QTest::newRow("segment cut") << "fault" << QJsonObject{{"path", "/seg-"}, {"cut", 3000}}
                                     << "error " + FrigateError::unreachable().message();
        QTest::newRow("segment as json") << "fault" << QJsonObject{{"path", "/seg-"}, {"body", "{}"}}
                                         << "error " + PlaybackError::generic();
    }

    void recording()
    {
        QFETCH(QString, fault);
        QFETCH(QJsonObject, injected);
        QFETCH(QString, expected);
        // Plain HTTP where the certificate is not the point: a cut body then ends without TLS's
        // closing message.
        const bool tls = fault == QLatin1String("certificate");
        PlaybackRig rig;
        QVERIFY(rig.start({.tls = tls}));
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(Camera, 900, 60)};
        PlayerController controller;
        QVERIFY(controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(controller.isPlaying() || controller.hasError(), Patience);
        QVERIFY(!controller.hasError());

        const FakeFrigateOptions options{.tls = tls, .port = rig.server.port()};
        if (fault == QLatin1String("restart"))
            rig.server.stop();
        else if (fault == QLatin1String("certificate"))
            rig.server.replaceCertificate();
        else
            rig.server.addFault(injected);
        controller.seek(45); // past what the player holds: the next segments must come now
        QTRY_VERIFY_WITH_TIMEOUT(controller.hasError(), Patience);
        QCOMPARE("error " + controller.errorText(), expected);
        QVERIFY(!controller.isBuffering());

        if (fault == QLatin1String("restart")) {
            // A new server process signs with new keys: sign in again, as the app model does on a 401.
            QVERIFY(rig.server.start(options));
            QVERIFY(!runTask(rig.client->signIn(options.password)));
        }
        rig.server.clearFaults();
        if (fault == QLatin1String("certificate"))
            return;
        request.index = 0;
        QVERIFY(controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(controller.isPlaying() || controller.hasError(), Patience);
        QVERIFY(!controller.hasError());
    }

    // The live picture when the relay or its server misbehaves: pictures come again after a
    // spell without them, during which the status never said playing. (A replaced certificate
    // ends the session instead: tst_livesession_relay.)
    void live_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QJsonObject>("injected");

        QTest::newRow("server restarted") << "restart" << QJsonObject();
        QTest::newRow("relay stalls once")
            << "live" << QJsonObject{{"kind", "stall"}, {"stream", Camera}, {"seconds", 0}, {"times", 1}};
        QTest::newRow("relay cuts a fragment")
            << "live" << QJsonObject{{"kind", "cut"}, {"stream", Camera}, {"seconds", 0}, {"times", 1}};
    }

    void live()
    {
        QFETCH(QString, fault);
        QFETCH(QJsonObject, injected);
        Live live;
        QVERIFY(live.start({.tls = true}));
        live.session->load(Camera, Camera);
        QTRY_COMPARE_WITH_TIMEOUT(live.status(), QStringLiteral("playing mse"), Patience);
        live.statuses.clear();

        const FakeFrigateOptions options{.tls = true, .port = live.rig.server.port()};
        if (fault == QLatin1String("restart")) {
            live.rig.server.stop();
            QTRY_VERIFY_WITH_TIMEOUT(live.status() != QLatin1String("playing mse"), Patience);
            QTest::qWait(2 * LiveSessionPolicy::RetryMs);
            QVERIFY(live.rig.server.start(options));
            QVERIFY(!runTask(live.rig.client->signIn(options.password)));
        } else {
            live.rig.server.addLiveFault(injected); // hits the open socket too
            QTRY_VERIFY_WITH_TIMEOUT(live.status() != QLatin1String("playing mse"), Patience);
        }
        QTRY_COMPARE_WITH_TIMEOUT(live.status(), QStringLiteral("playing mse"), Patience);
        QVERIFY(!live.statuses.isEmpty());
        QCOMPARE(live.statuses.count(QStringLiteral("playing mse")), 1);
        QCOMPARE(live.statuses.last(), QStringLiteral("playing mse"));
    }

    // The MJPEG stream (the relay refused) cut in the middle of a picture, or behind a new
    // certificate: the stream is opened again, and either plays or says why it cannot.
    void mjpeg_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cut mid-picture") << "mjpeg_cut" << "playing mjpeg";
        QTest::newRow("certificate replaced") << "certificate" << "error " + PlaybackError::certificateChanged();
    }

    void mjpeg()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        Live live;
        QVERIFY(live.start({.tls = true}));
        live.rig.server.addLiveFault({{"kind", "refuse"}, {"status", 502}});
        live.session->load(Camera, Camera);
        QTRY_COMPARE_WITH_TIMEOUT(live.status(), QStringLiteral("playing mjpeg"), Patience);
        live.statuses.clear();
        if (fault == QLatin1String("certificate"))
            live.rig.server.replaceCertificate();
        else
            live.rig.server.setLiveFault(Camera, fault, 1);
        QTRY_VERIFY_WITH_TIMEOUT(live.statuses.contains(QStringLiteral("reconnecting")), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(live.status(), expected, Patience);
        QCOMPARE(live.statuses.first(), QStringLiteral("reconnecting"));
    }
};

QTEST_MAIN(TestFaultsMedia)
#include "tst_faults_media.moc"
