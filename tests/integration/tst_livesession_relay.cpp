#include "LiveRig.h"
#include "SignedInModel.h"
#include "playback/PlaybackError.h"
#include "screens/LiveStreamView.h"

#include <QVideoFrame>
#include <QVideoSink>
#include <QtTest>
#include <algorithm>

namespace {

const QString WsPath = QStringLiteral("/live/mse/api/ws");
// The fake relay's cameras: one H.264 with AAC, one H.265.
const QString H264Camera = QStringLiteral("front_door");
const QString H265Camera = QStringLiteral("driveway");
constexpr int Patience = 20000; // ms; generous for a loaded machine, never a speed goal

struct Live : LiveRig
{
    int connections() { return rig.server.requestsTo(WsPath).size(); }
};

} // namespace

class TestLiveSessionRelay : public QObject
{
    Q_OBJECT

private slots:
    // The upgrade carries the Bearer token and the sign-in cookie; the MJPEG fallback too, with
    // the height under both names the releases read.
    void credentials()
    {
        Live live;
        QVERIFY(live.start());
        const QString token = live.rig.client->token().value_or(QString());
        QVERIFY(!token.isEmpty());
        live.rig.server.addFault({{"path", "^" + WsPath + "$"}, {"status", 401}});
        live.rig.server.addFault({{"path", "^/api/front_door$"}, {"status", 500}});
        live.session->load("front_door_sub", "front_door");

        QTRY_COMPARE_WITH_TIMEOUT(live.session->status(), LiveStatus::error("Flusso non disponibile"), Patience);
        QCOMPARE(live.session->fallbackReason(), QStringLiteral("WebSocket non disponibile"));
        const QJsonArray upgrades = live.rig.server.requestsTo(WsPath);
        QCOMPARE(upgrades.size(), LiveSessionPolicy::ClosesBeforeFallback);
        const QJsonObject upgrade = upgrades.first().toObject();
        QCOMPARE(upgrade["query"].toArray(), (QJsonArray{QJsonArray{"src", "front_door_sub"}}));
        QCOMPARE(upgrade["headers"]["authorization"].toString(), "Bearer " + token);
        QVERIFY(upgrade["headers"]["cookie"].toString().contains("frigate_token=" + token));

        const QJsonArray mjpeg = live.rig.server.requestsTo("/api/front_door");
        QCOMPARE(mjpeg.size(), 1);
        QCOMPARE(mjpeg.first()["query"].toArray(),
                 (QJsonArray{QJsonArray{"fps", "5"}, QJsonArray{"height", "720"}, QJsonArray{"h", "720"}}));
        QCOMPARE(mjpeg.first()["headers"]["authorization"].toString(), "Bearer " + token);
    }

    // A certificate that changes under a running session stops it with the certificate message
    // and no reconnection to the new certificate.
    void certificateSwap()
    {
        Live live;
        QVERIFY(live.start({.tls = true}));
        live.session->load(H264Camera, H264Camera);
        QTRY_VERIFY_WITH_TIMEOUT(live.connections() >= 1, Patience);

        live.rig.server.replaceCertificate();
        QTRY_COMPARE_WITH_TIMEOUT(live.session->status(), LiveStatus::error(PlaybackError::certificateChanged()),
                                  Patience);
        const int connections = live.connections();
        QTest::qWait(2 * LiveSessionPolicy::RetryMs);
        QCOMPARE(live.connections(), connections);
        QVERIFY(live.session->fallbackReason().isEmpty());
    }

    // What the relay does and how the session answers: pictures of both codecs, fallbacks.
    void relay_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // start of the fallback reason, empty: none
        QTest::addColumn<QString>("playing"); // the way pictures come in the end

        QTest::newRow("H.264 pictures") << H264Camera << "" << "" << "mse";
        QTest::newRow("H.265 pictures") << H265Camera << "" << "" << "mse";
        QTest::newRow("silent relay") << H264Camera << "silent" << "Nessun dato dal flusso" << "mjpeg";
        QTest::newRow("unsupported codec") << H264Camera << "unsupported" << "Codec non supportato: " << "mjpeg";
    }
    void relay()
    {
        QFETCH(QString, camera);
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QFETCH(QString, playing);
        Live live;
        QVERIFY(live.start());
        live.rig.server.clearRequests();
        if (!fault.isEmpty())
            live.rig.server.setLiveFault(camera, fault, 1);
        live.session->load(camera, camera);

        QTRY_VERIFY_WITH_TIMEOUT(live.connections() >= 1, Patience);
        if (!reason.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(live.session->fallbackReason().startsWith(reason), Patience);
        QCOMPARE(live.session->fallbackReason().isEmpty(), reason.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(live.session->status(), LiveStatus::playing(playing), Patience);
        QVERIFY(!live.player.shownImage().isNull());
    }

    // The view reconnects for a new stream only: not for sound, not for a camera name. The first
    // upgrade is refused, the next ones hang, so connections are counted without a relay.
    void viewUpdates()
    {
        SignedInModel signedIn;
        QVERIFY(signedIn.start("0.16"));
        FakeFrigate &server = signedIn.server;
        server.addFault({{"path", "^" + WsPath + "$"}, {"status", 401}, {"times", 1}});
        server.addFault({{"path", "^" + WsPath + "$"}, {"delay", 60}});
        LiveStreamView view;
        view.setAppModel(signedIn.model.get());
        view.setCamera(H264Camera);
        view.setStream(H264Camera);
        view.componentComplete();
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(WsPath).size(), 2, Patience);
        QCOMPARE(view.status(), LiveStreamView::Status::Reconnecting);

        view.setMuted(false);
        view.setCamera(H265Camera);
        QTest::qWait(LiveSessionPolicy::RetryMs);
        QCOMPARE(server.requestsTo(WsPath).size(), 2);
        QCOMPARE(view.status(), LiveStreamView::Status::Reconnecting);

        view.setStream(H265Camera);
        QCOMPARE(view.status(), LiveStreamView::Status::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsTo(WsPath).size(), 3, Patience);
        QCOMPARE(server.requestsTo(WsPath).last()["query"].toArray(), (QJsonArray{QJsonArray{"src", H265Camera}}));
    }

    // Off screen the stream closes and nothing claims to be live; another camera's picture never
    // stands under the next camera's name.
    void offScreenAndNextCamera()
    {
        SignedInModel signedIn;
        QVERIFY(signedIn.start("0.16"));
        QVideoSink sink;
        LiveStreamView view;
        view.setAppModel(signedIn.model.get());
        view.setVideoSink(&sink);
        view.setCamera(H264Camera);
        view.setStream(H264Camera);
        view.componentComplete();
        QTRY_COMPARE_WITH_TIMEOUT(view.status(), LiveStreamView::Status::Playing, Patience);

        view.setActive(false);
        QCOMPARE(view.status(), LiveStreamView::Status::Loading);
        const auto allClosed = [&] {
            const QJsonArray sockets = signedIn.server.liveConnections();
            return std::all_of(sockets.begin(), sockets.end(), [](const QJsonValue &socket) {
                return !socket["closed"].isNull();
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allClosed(), Patience);

        view.setActive(true);
        QTRY_COMPARE_WITH_TIMEOUT(view.status(), LiveStreamView::Status::Playing, Patience);
        QVERIFY(sink.videoFrame().isValid());
        view.setCamera(H265Camera);
        view.setStream(H265Camera);
        QVERIFY(!sink.videoFrame().isValid());
        QTRY_COMPARE_WITH_TIMEOUT(view.status(), LiveStreamView::Status::Playing, Patience);
    }
};

QTEST_MAIN(TestLiveSessionRelay)
#include "tst_livesession_relay.moc"
