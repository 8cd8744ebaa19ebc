#include "LocalHttpServer.h"
#include "PlaybackRig.h"
#include "TestMedia.h"
#include "playback/PlaybackError.h"
#include "playback/PlayerController.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>
#include <cmath>

namespace {

constexpr int LoadTimeoutMs = 90000; // the first run renders the fake server's recordings

// A controller drawing into a sink, with what reached the sink recorded.
struct Screen
{
    PlayerController controller;
    QVideoSink sink;
    QList<double> shown; // item times of the pictures the sink received

    Screen()
    {
        controller.setVideoSink(&sink);
        QObject::connect(&sink, &QVideoSink::videoFrameChanged, &sink, [this](const QVideoFrame &frame) {
            if (frame.isValid())
                shown.append(double(frame.startTime()) / 1e6);
        });
    }

    // Waits for a picture at or after `time` (item seconds).
    bool waitForPicture(double time = 0)
    {
        const auto reached = [&] { return !shown.isEmpty() && shown.last() >= time; };
        return QTest::qWaitFor([&] { return reached() || controller.hasError(); }, LoadTimeoutMs)
               && !controller.hasError();
    }

    // Seeks and waits for the picture that answers the seek.
    std::optional<double> seekAndWait(double seconds)
    {
        QSignalSpy presented(&controller.player(), &MediaPlayer::framePresented);
        controller.seek(seconds);
        if (!presented.wait(20000))
            return std::nullopt;
        return presented.first().first().toDouble();
    }
};

QString header(const QJsonValue &logged, const char *name)
{
    return logged.toObject().value(QLatin1String("headers")).toObject().value(QLatin1String(name)).toString();
}

QJsonArray vodRequests(FakeFrigate &server)
{
    QJsonArray matching;
    for (const QJsonValue &entry : server.requests()) {
        if (entry.toObject().value(QLatin1String("path")).toString().startsWith(QLatin1String("/vod/")))
            matching.append(entry);
    }
    return matching;
}

bool frameTimesEqual(double a, double b)
{
    return std::abs(a - b) < 0.0005;
}

}

class TestPlayback : public QObject
{
    Q_OBJECT
private slots:
    void playsRecordingOverHttps_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("camera");
        QTest::addColumn<double>("aspect");
        QTest::addColumn<int>("loopPhase"); // where the span starts in the recordings' minute; -1: anywhere
        QTest::newRow("H.264 in MPEG-TS, 0.16") << "0.16" << "front_door" << 16.0 / 9 << -1;
        QTest::newRow("H.265 in fMP4, 0.16") << "0.16"
                                             << "driveway" << 16.0 / 9 << -1;
        QTest::newRow("MPEG-TS across a minute, 0.14") << "0.14" << "front_door" << 16.0 / 9 << 53;
        QTest::newRow("fMP4 across a minute, 0.15") << "0.15" << "driveway" << 16.0 / 9 << 53;
        QTest::newRow("video without sound") << "0.16" << "back_yard" << 4.0 / 3 << -1;
    }
    void playsRecordingOverHttps()
    {
        QFETCH(QString, version);
        QFETCH(QString, camera);
        QFETCH(double, aspect);
        QFETCH(int, loopPhase);
        PlaybackRig rig;
        QVERIFY(rig.start({.version = version, .tls = true}));
        PlayerRequest request;
        request.items = {loopPhase < 0 ? PlaybackRig::recentItem(camera, 900 + 7, 23)
                                       : PlaybackRig::itemAtPhase(camera, loopPhase, 23)};
        const PlaybackItem item = request.items.first();

        Screen screen;
        if (loopPhase >= 0)
            screen.controller.cycleRate(); // 2x through the minute's end
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QVERIFY(screen.waitForPicture(loopPhase < 0 ? 1 : 10)); // past the minute's end where the span crosses one
        QTRY_VERIFY(screen.controller.isPlaying() && !screen.controller.isBuffering());

        const double expectedDuration = item.end - FakeRecordings::origin(version, item);
        QVERIFY(frameTimesEqual(screen.controller.duration(), expectedDuration));
        QVERIFY(screen.controller.videoAspect());
        QVERIFY(std::abs(*screen.controller.videoAspect() - aspect) < 1e-9);

        // Pictures arrive in order, each once, on the recording's frame times, and show the frames the
        // server recorded. A picture already late when its turn comes is dropped, so gaps may occur.
        for (int i = 1; i < screen.shown.size(); ++i) {
            const double frames = screen.shown[i] * FakeRecordings::Fps;
            QVERIFY2(screen.shown[i] > screen.shown[i - 1] && std::abs(frames - std::round(frames)) < 0.0075,
                     qPrintable(QStringLiteral("%1 then %2").arg(screen.shown[i - 1]).arg(screen.shown[i])));
        }
        QCOMPARE(screen.shown.first(), 0.0);
        const auto snapshot = screen.controller.snapshotImage();
        QVERIFY(snapshot);
        const double shownTime = *screen.controller.player().shownTime();
        QCOMPARE(drawnFrameNumber(*snapshot), FakeRecordings::frameNumberAt(version, item, shownTime));
        QVERIFY(std::abs(screen.controller.currentTime() - shownTime) < 0.5);

        // Every playlist and segment request carried the item's credentials.
        const QJsonArray logged = vodRequests(rig.server);
        QVERIFY(logged.size() >= 3);
        for (const QJsonValue &entry : logged) {
            QCOMPARE(header(entry, "authorization"), QStringLiteral("Bearer ") + *rig.client->token());
            QVERIFY(header(entry, "cookie").contains(QStringLiteral("frigate_token=") + *rig.client->token()));
        }
        QCOMPARE(logged.first().toObject().value(QLatin1String("path")).toString(),
                 QLatin1Char('/') + vodPlaylistPath(item));
    }

    void frameExactSeek_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<double>("target");
        QTest::addColumn<bool>("playing");
        const double frame = 1.0 / FakeRecordings::Fps;
        for (const char *camera : {"front_door", "driveway"}) {
            const QString name = QString::fromLatin1(camera);
            QTest::addRow("%s: a frame between key frames", camera) << name << 12 + 7 * frame << false;
            QTest::addRow("%s: just before a frame", camera) << name << 21 + 4 * frame - 0.0001 << false;
            QTest::addRow("%s: back into the first segment", camera) << name << 3 + 11 * frame << false;
            QTest::addRow("%s: last segment while playing", camera) << name << 31 + 13 * frame << true;
        }
    }
    void frameExactSeek()
    {
        QFETCH(QString, camera);
        QFETCH(double, target);
        QFETCH(bool, playing);
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16"), .tls = true}));
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(camera, 900 + 3, 35)};
        const PlaybackItem item = request.items.first();
        Screen screen;
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QVERIFY(screen.waitForPicture());
        if (!playing)
            screen.controller.togglePlay();

        const auto landed = screen.seekAndWait(target);
        QVERIFY(landed);
        const double expected = FakeRecordings::framePts(target);
        QVERIFY2(frameTimesEqual(*landed, expected), qPrintable(QStringLiteral("landed on %1").arg(*landed)));
        const auto picture = screen.controller.snapshotImage();
        QVERIFY(picture);
        QCOMPARE(drawnFrameNumber(*picture), FakeRecordings::frameNumberAt(QStringLiteral("0.16"), item, expected));
        if (playing)
            return;
        QCOMPARE(screen.controller.currentTime(), target);
        QTest::qWait(300);
        QVERIFY(frameTimesEqual(*screen.controller.player().shownTime(), expected));
        // Frame steps from there: forward from what is decoded, back through a seek and then from
        // the pictures it kept, forward again over them; each one picture, the one drawn for it.
        double at = expected;
        for (const int direction : {1, 1, -1, -1, -1, -1, 1, 1, 1}) {
            QSignalSpy presented(&screen.controller.player(), &MediaPlayer::framePresented);
            screen.controller.stepFrame(direction);
            QVERIFY(!presented.isEmpty() || presented.wait(5000));
            at += direction * (1.0 / FakeRecordings::Fps);
            QVERIFY2(frameTimesEqual(presented.last().first().toDouble(), at), qPrintable(QString::number(at)));
            QCOMPARE(drawnFrameNumber(*screen.controller.snapshotImage()), FakeRecordings::frameNumberAt(QStringLiteral("0.16"), item, at));
        }
    }

    void seekClampingAndStartOffset()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16"), .tls = true}));
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(QStringLiteral("front_door"), 1800, 600),
                         PlaybackRig::recentItem(QStringLiteral("front_door"), 1000, 30)};
        request.startOffset = 90;
        Screen screen;

        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QCOMPARE(request.startOffset, 0.0);
        QCOMPARE(screen.controller.pendingSeek(), std::optional<double>(90));
        QVERIFY(screen.waitForPicture());
        QVERIFY(frameTimesEqual(screen.shown.first(), 90));
        QVERIFY(!screen.controller.pendingSeek());
        QCOMPARE(screen.controller.duration(), 600.0);

        auto landed = screen.seekAndWait(10000);
        QVERIFY(landed);
        QVERIFY(frameTimesEqual(*landed, FakeRecordings::framePts(599.8)));
        landed = screen.seekAndWait(-5);
        QVERIFY(landed);
        QCOMPARE(*landed, 0.0);

        // The next index starts at its beginning, and a seek before its duration is known is kept.
        request.index = 1;
        screen.shown.clear();
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QCOMPARE(screen.controller.duration(), 0.0);
        screen.controller.seek(12);
        QCOMPARE(screen.controller.currentTime(), 12.0);
        QVERIFY(screen.waitForPicture());
        QCOMPARE(screen.shown.first(), 12.0);
        QCOMPARE(screen.controller.duration(), 30.0);
    }

    void continuousItems()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16")}));
        PlayerRequest request;
        request.continuous = true;
        for (int i = 0; i < 3; ++i)
            request.items.append(PlaybackRig::recentItem(QStringLiteral("back_yard"), 1200 - i * 100, 5));
        Screen screen;
        // The screen's part: each finished item moves on to the next one, the last one stays.
        QObject::connect(&screen.controller, &PlayerController::finishedCountChanged, &screen.controller, [&] {
            if (request.continuous && request.index + 1 < request.items.size()) {
                ++request.index;
                screen.controller.loadCurrent(rig.client.get(), request);
            }
        });
        screen.controller.cycleRate(); // 2x keeps the test short
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QTRY_COMPARE_WITH_TIMEOUT(screen.controller.finishedCount(), 3, LoadTimeoutMs);
        QCOMPARE(request.index, 2);
        QTRY_VERIFY(!screen.controller.isPlaying());
        QVERIFY(frameTimesEqual(screen.controller.currentTime(), 5));
        const int pictures = screen.shown.size();
        QVERIFY2(pictures >= 3 * 5 * FakeRecordings::Fps / 2, qPrintable(QString::number(pictures)));
        QTest::qWait(500);
        QCOMPARE(screen.controller.finishedCount(), 3);
        QCOMPARE(screen.shown.size(), pictures);
    }

    void replacedCertificateRefusesTheItem()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16"), .tls = true}));
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(QStringLiteral("front_door"), 900, 20)};
        Screen screen;
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QVERIFY(screen.waitForPicture());

        rig.server.replaceCertificate();
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(screen.controller.hasError(), 20000);
        QCOMPARE(screen.controller.errorText(), PlaybackError::certificateChanged());
        QVERIFY(!screen.controller.isBuffering());

        // Once the user accepts the new certificate, the same item plays.
        rig.trust.forgetHost(QStringLiteral("127.0.0.1"));
        rig.client->network()->clearConnectionCache();
        screen.shown.clear();
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QVERIFY(screen.waitForPicture());
    }

    void unusableAnswers_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("camera");
        QTest::addColumn<int>("startsIn"); // seconds from now; positive: no recordings yet
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message");

        const QString generic = PlaybackError::generic();
        QString tsJunk;
        for (int packet = 0; packet < 40; ++packet)
            tsJunk += QLatin1Char('G') + QString(187, QLatin1Char(char('a' + packet % 26)));

        QTest::newRow("no recordings, 0.14") << "0.14" << "front_door" << 600 << QJsonObject()
                                             << "Server error (HTTP 502).";
        QTest::newRow("no recordings, 0.16") << "0.16" << "front_door" << 600 << QJsonObject()
                                             << "Server error (HTTP 404).";
        QTest::newRow("error page for the playlist")
            << "0.16" << "front_door" << -900
            << QJsonObject{{"path", "master.m3u8$"}, {"body", "<html><body>Bad Gateway</body></html>"},
                           {"content_type", "text/html"}}
            << PlaybackError::notPlaylist();
        QTest::newRow("JSON for the media playlist")
            << "0.15" << "driveway" << -900
            << QJsonObject{{"path", "index-v1-a1.m3u8$"}, {"body", R"({"success":false})"}}
            << PlaybackError::notPlaylist();
        QTest::newRow("connection dropped on a segment")
            << "0.16" << "front_door" << -900 << QJsonObject{{"path", "seg-1-"}, {"drop", true}}
            << "Frigate server unreachable.";
        QTest::newRow("filler instead of a segment")
            << "0.16" << "front_door" << -900 << QJsonObject{{"path", "seg-1-"}, {"huge", 300000}} << generic;
        QTest::newRow("segment refused")
            << "0.16" << "driveway" << -900 << QJsonObject{{"path", "seg-1-"}, {"status", 401}, {"body", "<html/>"}}
            << "Invalid username or password.";
        QTest::newRow("truncated init section")
            << "0.16" << "driveway" << -900
            << QJsonObject{{"path", "init-v1-a1.mp4$"}, {"body", QString::fromLatin1("\0\0\0\x10" "ftypiso5\0\0\0\0", 16)},
                           {"content_type", "video/mp4"}}
            << generic;
        QTest::newRow("undecodable stream")
            << "0.16" << "front_door" << -900
            << QJsonObject{{"path", "seg-"}, {"body", tsJunk}, {"content_type", "video/MP2T"}} << generic;
    }
    void unusableAnswers()
    {
        QFETCH(QString, version);
        QFETCH(QString, camera);
        QFETCH(int, startsIn);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        PlaybackRig rig;
        QVERIFY(rig.start({.version = version, .tls = true}));
        if (!fault.isEmpty())
            rig.server.addFault(fault);
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(camera, -startsIn, 30),
                         PlaybackRig::recentItem(camera, 1500, 30)};
        Screen screen;
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(screen.controller.hasError(), LoadTimeoutMs);
        QCOMPARE(screen.controller.errorText(), message);
        QVERIFY(!screen.controller.isBuffering());
        QTRY_VERIFY(!screen.controller.isPlaying());
        QVERIFY(screen.shown.isEmpty());

        // The player is still usable: the next item plays.
        rig.server.clearFaults();
        request.index = 1;
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QVERIFY(!screen.controller.hasError());
        QVERIFY(screen.waitForPicture(0.25));
    }

    void failureOfALaterSegment()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16")}));
        rig.server.addFault({{"path", "seg-3-"}, {"drop", true}});
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(QStringLiteral("back_yard"), 900, 40)};
        Screen screen;
        for (int i = 0; i < 3; ++i)
            screen.controller.cycleRate(); // 8x
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(screen.controller.hasError(), LoadTimeoutMs);
        QCOMPARE(screen.controller.errorText(), QStringLiteral("Frigate server unreachable."));
        // What arrived before the broken segment was played, up to it.
        QVERIFY(!screen.shown.isEmpty());
        QVERIFY2(screen.shown.last() > 15 && screen.shown.last() < 20, qPrintable(QString::number(screen.shown.last())));
        QTRY_VERIFY(!screen.controller.isPlaying());
        QCOMPARE(screen.controller.finishedCount(), 0);
    }

    void credentialsStayWithTheServer_data()
    {
        QTest::addColumn<QString>("foreign"); // which answer of the server leads to another port
        QTest::newRow("segment URI") << "segment";
        QTest::newRow("variant playlist URI") << "variant";
        QTest::newRow("redirect of a segment") << "redirect";
    }
    void credentialsStayWithTheServer()
    {
        QFETCH(QString, foreign);
        LocalHttpServer server;
        LocalHttpServer other; // same host, another port: another origin
        const QByteArray elsewhere = other.url(QStringLiteral("/seg.ts")).toEncoded();
        const QByteArray variant = foreign == QLatin1String("variant")
                                       ? other.url(QStringLiteral("/index.m3u8")).toEncoded()
                                       : QByteArray("index.m3u8");
        server.answer(QStringLiteral("/master.m3u8"),
                      {200, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\n" + variant + "\n", {}});
        const QByteArray index =
            TestMedia::mediaPlaylist(foreign == QLatin1String("segment") ? elsewhere : QByteArray("seg.ts"));
        server.answer(QStringLiteral("/index.m3u8"), {200, index, {}});
        other.answer(QStringLiteral("/index.m3u8"), {200, index, {}});
        server.answer(QStringLiteral("/seg.ts"), {302, {}, elsewhere});

        QNetworkAccessManager network;
        QNetworkCookie cookie("frigate_token", "t0ken");
        cookie.setPath(QStringLiteral("/"));
        const QUrl master = server.url(QStringLiteral("/master.m3u8"));
        network.cookieJar()->setCookiesFromUrl({cookie}, master); // as the sign-in leaves it
        PlayerController controller;
        controller.setNetwork(&network);
        controller.load(master, cookie, {{QStringLiteral("Authorization"), QStringLiteral("Bearer t0ken")}},
                        std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(controller.hasError(), 20000);

        QCOMPARE(server.requests().first().headers.value("authorization"), QByteArray("Bearer t0ken"));
        if (foreign != QLatin1String("redirect"))
            QVERIFY(!other.requests().isEmpty());
        else
            QCOMPARE(controller.errorText(), PlaybackError::foreignRedirect());
        for (const LocalHttpServer::Request &request : other.requests()) {
            QVERIFY2(!request.headers.contains("authorization"), qPrintable(request.path));
            QVERIFY2(!request.headers.value("cookie").contains("t0ken"), qPrintable(request.path));
        }
    }

    void playsToTheEndOrFails_data()
    {
        QTest::addColumn<QString>("sampleAspect");
        QTest::addColumn<double>("damageFrom"); // share of the file whose pictures are destroyed
        QTest::addColumn<double>("damageTo");
        QTest::addColumn<bool>("fails");
        QTest::newRow("intact, square pixels") << "1" << 0.0 << 0.0 << false;
        QTest::newRow("intact, anamorphic") << "2" << 0.0 << 0.0 << false;
        QTest::newRow("damaged stretch, decoding recovers") << "1" << 0.4 << 0.55 << false;
        QTest::newRow("damaged to the end") << "1" << 0.6 << 1.0 << true;
    }
    void playsToTheEndOrFails()
    {
        QFETCH(QString, sampleAspect);
        QFETCH(double, damageFrom);
        QFETCH(double, damageTo);
        QFETCH(bool, fails);
        const QByteArray video = TestMedia::encodedVideo(sampleAspect);
        QVERIFY(video.size() > 10000);
        LocalHttpServer server;
        server.answer(QStringLiteral("/index.m3u8"), {200, TestMedia::mediaPlaylist("seg.ts"), {}});
        server.answer(QStringLiteral("/seg.ts"),
                      {200, TestMedia::damaged(video, TestMedia::VideoPid, damageFrom, damageTo), {}});
        QNetworkAccessManager network;
        Screen screen;
        screen.controller.setNetwork(&network);
        for (int i = 0; i < 3; ++i)
            screen.controller.cycleRate(); // 8x
        screen.controller.load(server.url(QStringLiteral("/index.m3u8")), std::nullopt, {}, std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(screen.controller.finishedCount() == 1 || screen.controller.hasError(), 30000);

        QCOMPARE(screen.controller.hasError(), fails);
        QCOMPARE(screen.controller.errorText(), fails ? PlaybackError::undecodable() : QString());
        if (!fails) // the last picture was shown
            QVERIFY(frameTimesEqual(screen.shown.last(), 3 - 1.0 / 15));
        QVERIFY(screen.controller.videoAspect());
        QCOMPARE(*screen.controller.videoAspect(), 320.0 * sampleAspect.toDouble() / 240);
    }

    void motionBoxesFollowTheObject()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16")}));
        PlayerRequest request;
        request.items = {PlaybackRig::itemAtPhase(QStringLiteral("front_door"), 15, 20)};
        Screen screen;
        screen.controller.setMotionEnabled(true);
        QVERIFY(screen.controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(!screen.controller.motionBoxes().isEmpty(), LoadTimeoutMs);

        // The moving object spans 35 %..65 % of the height; its box moves right over time.
        const QList<QRectF> boxes = screen.controller.motionBoxes();
        const QRectF object(0, 0.35, 1, 0.30);
        QVERIFY(std::any_of(boxes.begin(), boxes.end(), [&](const QRectF &box) {
            return box.intersects(object) && box.top() >= 0.25 && box.bottom() <= 0.75;
        }));
        QVERIFY(screen.controller.lastMotionTime() >= 0);

        // Off while frames are analysed: the boxes go at once, a late result does not bring them back.
        screen.controller.setMotionEnabled(false);
        QVERIFY(screen.controller.motionBoxes().isEmpty());
        QTRY_VERIFY(!screen.controller.motionBusy());
        QTest::qWait(300);
        QVERIFY(screen.controller.motionBoxes().isEmpty());

        screen.controller.teardown();
        QCOMPARE(screen.controller.lastMotionTime(), -1.0);
        QVERIFY(!screen.controller.snapshotImage());
    }
};

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
