#include "playback/LiveCodecs.h"
#include "playback/LiveSessionPolicy.h"
#include "playback/LiveUrls.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <map>

namespace {

const LiveDecoders AllDecoders{true, true, true, true, true};

// Records what the rules ask for and keeps the two timers on a clock the test moves by hand.
struct RecordingPort : LiveSessionPort
{
    qint64 now = 0;
    std::map<LiveTimer, qint64> deadlines;
    int connects = 0, pushes = 0, mjpegStarts = 0;
    QStringList sent;

    void connectSocket() override { ++connects; }
    void closeSocket() override { }
    void sendText(const QString &text) override { sent << text; }
    void beginFragments() override { }
    void pushFragment(const QByteArray &) override { ++pushes; }
    void startMjpeg() override { ++mjpegStarts; }
    void stopMjpeg() override { }
    void endPlayer() override { }
    void startTimer(LiveTimer timer, int ms) override { deadlines[timer] = now + ms; }
    void stopTimer(LiveTimer timer) override { deadlines.erase(timer); }
    void showStatus(const LiveStatus &) override { }

    void advance(LiveSessionPolicy &policy, qint64 ms)
    {
        const qint64 end = now + ms;
        for (;;) {
            auto due = std::min_element(deadlines.begin(), deadlines.end(),
                                        [](const auto &a, const auto &b) { return a.second < b.second; });
            if (due == deadlines.end() || due->second > end)
                break;
            const LiveTimer timer = due->first;
            now = due->second;
            deadlines.erase(due);
            policy.timerFired(timer);
        }
        now = end;
    }
};

// Steps separated by "|": open, close, data, mse <type>, error <text>, tick <ms>, playing,
// waiting, failed, mjpegfail, stop, fail <text>, and "<n>x(step, step)" repeating a group.
void run(LiveSessionPolicy &policy, RecordingPort &port, const QString &script)
{
    static const QRegularExpression repeat(QStringLiteral(R"(^(\d+)x\((.*)\)$)"));
    for (QString step : script.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        step = step.trimmed();
        const QRegularExpressionMatch group = repeat.match(step);
        if (group.hasMatch()) {
            for (int i = 0; i < group.captured(1).toInt(); ++i)
                run(policy, port, group.captured(2).replace(QLatin1Char(','), QLatin1Char('|')));
            continue;
        }
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        // As the relay writes them: compact JSON and a line feed.
        const auto message = [&](const char *type) {
            const QJsonObject object{{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("value"), rest}};
            return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
        };
        if (verb == QLatin1String("open"))
            policy.socketOpened();
        else if (verb == QLatin1String("close"))
            policy.socketClosed();
        else if (verb == QLatin1String("data"))
            policy.binaryMessage(QByteArray(16, 'x'));
        else if (verb == QLatin1String("mse"))
            policy.textMessage(message("mse"));
        else if (verb == QLatin1String("error"))
            policy.textMessage(message("error"));
        else if (verb == QLatin1String("tick"))
            port.advance(policy, rest.toLongLong());
        else if (verb == QLatin1String("playing"))
            policy.playerPlaying();
        else if (verb == QLatin1String("waiting"))
            policy.playerWaiting();
        else if (verb == QLatin1String("failed"))
            policy.playerFailed();
        else if (verb == QLatin1String("mjpegfail"))
            policy.mjpegFailed();
        else if (verb == QLatin1String("stop"))
            policy.stop();
        else if (verb == QLatin1String("fail"))
            policy.fail(rest);
        else
            QFAIL(qPrintable("unknown step " + step));
    }
}

// A policy freshly loaded, then driven by a script.
struct Scripted
{
    RecordingPort port;
    LiveSessionPolicy policy{port, AllDecoders};

    explicit Scripted(const QString &script)
    {
        policy.load();
        run(policy, port, script);
    }
};

QString described(const LiveStatus &status)
{
    return QString::number(int(status.kind)) + QLatin1Char(' ') + status.text;
}

} // namespace

Q_DECLARE_METATYPE(LiveDecoders)
Q_DECLARE_METATYPE(LiveStatus)

class TestLiveSession : public QObject
{
    Q_OBJECT

private slots:
    void urls_data()
    {
        QTest::addColumn<QUrl>("base");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("socket");
        QTest::addColumn<QString>("mjpeg");

        QTest::newRow("http gives ws") << QUrl("http://10.0.0.5:5000/") << "front"
                                       << "ws://10.0.0.5:5000/live/mse/api/ws?src=front"
                                       << "http://10.0.0.5:5000/api/front?fps=5&height=720&h=720";
        QTest::newRow("https gives wss, base path kept")
            << QUrl("https://nvr.example:8971/frigate") << "front_sub"
            << "wss://nvr.example:8971/frigate/live/mse/api/ws?src=front_sub"
            << "https://nvr.example:8971/frigate/api/front_sub?fps=5&height=720&h=720";
        QTest::newRow("no scheme gives ws") << QUrl("//nvr.example:5000/") << "front"
                                            << "ws://nvr.example:5000/live/mse/api/ws?src=front"
                                            << "//nvr.example:5000/api/front?fps=5&height=720&h=720";
        QTest::newRow("reserved characters escaped")
            << QUrl("http://nvr/") << "a\"b\\c d&e+f#g%h"
            << "ws://nvr/live/mse/api/ws?src=a%22b%5Cc%20d%26e%2Bf%23g%25h"
            << "http://nvr/api/a%22b%5Cc%20d&e+f%23g%25h?fps=5&height=720&h=720";
        QTest::newRow("no host: none") << QUrl("http:///x") << "front"
                                       << ""
                                       << "";
    }
    void urls()
    {
        QFETCH(QUrl, base);
        QFETCH(QString, name);
        QFETCH(QString, socket);
        QFETCH(QString, mjpeg);
        QCOMPARE(LiveUrls::webSocket(base, name).toString(QUrl::FullyEncoded), socket);
        QCOMPARE(LiveUrls::mjpeg(base, name).toString(QUrl::FullyEncoded), mjpeg);
    }

    // What we offer the relay follows our decoders; what it answers must hold a video track we decode.
    void codecs_data()
    {
        QTest::addColumn<LiveDecoders>("decoders");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("playable");

        const LiveDecoders noHevc{true, false, true, true, true};
        const QString all = "avc1.640029,avc1.64002A,avc1.640033,avc1.4D401F,avc1.42E01E,hvc1.1.6.L153.B0,"
                            "mp4a.40.2,mp4a.40.5,flac,opus";
        QTest::newRow("H.264 and AAC") << AllDecoders << all << R"(video/mp4; codecs="avc1.4D401F,mp4a.40.2")" << true;
        QTest::newRow("H.265 as announced") << AllDecoders << all << R"(video/mp4; codecs="hvc1.1.6.L153.B0")" << true;
        QTest::newRow("H.265 without its decoder")
            << noHevc << "avc1.640029,avc1.64002A,avc1.640033,avc1.4D401F,avc1.42E01E,mp4a.40.2,mp4a.40.5,flac,opus"
            << R"(video/mp4; codecs="hvc1.1.6.L153.B0,mp4a.40.2")" << false;
        QTest::newRow("audio only: no picture") << AllDecoders << all << R"(video/mp4; codecs="mp4a.40.2")" << false;
        QTest::newRow("unknown video codec") << AllDecoders << all << R"(video/mp4; codecs="vp09.00.10.08")" << false;
        QTest::newRow("not MP4") << AllDecoders << all << R"(video/webm; codecs="avc1.640029")" << false;
        QTest::newRow("no codecs") << AllDecoders << all << "video/mp4" << false;
    }
    void codecs()
    {
        QFETCH(LiveDecoders, decoders);
        QFETCH(QString, offered);
        QFETCH(QString, answer);
        QFETCH(bool, playable);
        QCOMPARE(LiveCodecs::offered(decoders), offered);
        QCOMPARE(LiveCodecs::playable(answer, decoders), playable);

        RecordingPort port;
        LiveSessionPolicy policy(port, decoders);
        policy.load();
        policy.socketOpened();
        QCOMPARE(port.sent, QStringList{R"({"type":"mse","value":")" + offered + R"("})"});
    }

    // A script from load, then the status, why MJPEG took over, and what was asked of the outside.
    void policy_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<LiveStatus>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("connects");
        QTest::addColumn<int>("pushes");

        const QString h264 = R"(mse video/mp4; codecs="avc1.640029,mp4a.40.2")";
        const QString flowing = "open | " + h264 + " | data | playing";
        const LiveStatus loading = LiveStatus::loading(), reconnecting = LiveStatus::reconnecting();
        const LiveStatus mse = LiveStatus::playing("mse"), mjpeg = LiveStatus::playing("mjpeg");
        const QString noSocket = LiveSessionPolicy::socketUnavailableText();
        const QString noData = LiveSessionPolicy::noDataText();

        QTest::newRow("connecting") << "" << loading << "" << 1 << 0;
        QTest::newRow("pictures from the relay") << flowing << mse << "" << 1 << 1;
        QTest::newRow("3 closes without data retry") << "3x(close, tick 2000)" << reconnecting << "" << 4 << 0;
        QTest::newRow("4th close without data falls back")
            << "3x(close, tick 2000) | close" << loading << noSocket << 4 << 0;
        QTest::newRow("retry waits 2000 ms") << "close | tick 1999" << reconnecting << "" << 1 << 0;
        QTest::newRow("an open resets the count")
            << "3x(close, tick 2000) | open | close" << reconnecting << "" << 4 << 0;
        QTest::newRow("closes after data retry forever")
            << flowing + " | 10x(close, tick 2000)" << reconnecting << "" << 11 << 1;
        QTest::newRow("waiting shows reconnecting") << flowing + " | waiting" << reconnecting << "" << 1 << 1;
        QTest::newRow("no data in 12 s falls back")
            << "open | " + h264 + " | tick 11999 | tick 1" << loading << noData << 1 << 0;
        QTest::newRow("data in time keeps the relay") << flowing + " | tick 30000" << mse << "" << 1 << 1;
        QTest::newRow("frames before the answer are dropped")
            << "open | data | data | tick 12000" << loading << noData << 1 << 0;
        QTest::newRow("relay error shown, session goes on")
            << "open | " + h264 + " | error mse: streams: dial tcp 192.168.1.20:554: i/o timeout"
            << LiveStatus::error("mse: streams: dial tcp 192.168.1.20:554: i/o timeout") << "" << 1 << 0;
        QTest::newRow("relay error then pictures")
            << "open | error mse: stream not found | " + h264 + " | data | playing" << mse << "" << 1 << 1;
        QTest::newRow("codec we cannot play") << R"(open | mse video/mp4; codecs="vp09.00.10.08")" << loading
                                              << R"(Codec non supportato: video/mp4; codecs="vp09.00.10.08")" << 1 << 0;
        QTest::newRow("no video codec goes to MJPEG at once")
            << R"(open | mse video/mp4; codecs="mp4a.40.2" | data)" << loading
            << R"(Codec non supportato: video/mp4; codecs="mp4a.40.2")" << 1 << 0;
        QTest::newRow("undecodable relay bytes")
            << "open | " + h264 + " | data | failed" << loading
            << R"(Codec non supportato: video/mp4; codecs="avc1.640029,mp4a.40.2")" << 1 << 1;
        QTest::newRow("damaged bytes after pictures reconnect")
            << flowing + " | failed | tick 2000" << reconnecting << "" << 2 << 1;
        QTest::newRow("pictures stopping: no new connection before 12 s")
            << flowing + " | waiting | tick 11999" << reconnecting << "" << 1 << 1;
        QTest::newRow("still none after 12 s: a new connection")
            << flowing + " | waiting | tick 12000 | tick 2000 | tick 12000 | tick 2000" << reconnecting << "" << 3 << 1;
        QTest::newRow("MJPEG picture shown") << "tick 12000 | playing" << mjpeg << noData << 1 << 0;
        QTest::newRow("fallback is one-way")
            << "tick 12000 | close | tick 2000 | open | " + h264 + " | data | playing" << mjpeg << noData << 1 << 0;
        QTest::newRow("MJPEG ending before a picture fails")
            << "tick 12000 | mjpegfail" << LiveStatus::error("Flusso non disponibile") << noData << 1 << 0;
        QTest::newRow("certificate change ends it")
            << flowing + " | fail changed | close | tick 20000" << LiveStatus::error("changed") << "" << 1 << 1;
        QTest::newRow("stop ends retries and the 12 s timer")
            << "close | stop | tick 20000" << reconnecting << "" << 1 << 0;
    }
    void policy()
    {
        QFETCH(QString, script);
        QFETCH(LiveStatus, status);
        QFETCH(QString, reason);
        QFETCH(int, connects);
        QFETCH(int, pushes);

        const Scripted live(script);
        QCOMPARE(described(live.policy.status()), described(status));
        QCOMPARE(live.policy.fallbackReason(), reason);
        QCOMPARE(live.port.connects, connects);
        QCOMPARE(live.port.pushes, pushes);
        QCOMPARE(live.port.mjpegStarts, reason.isEmpty() ? 0 : 1);
    }

    // An MJPEG stream that showed pictures and ended is opened again after the retry wait; a new
    // connection that ends before its first picture is the end.
    void mjpegReconnect_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<LiveStatus>("status");
        QTest::addColumn<int>("mjpegStarts");
        const QString played = QStringLiteral("tick 12000 | playing | mjpegfail");
        const LiveStatus reconnecting = LiveStatus::reconnecting();
        QTest::newRow("waits 2000 ms") << played + " | tick 1999" << reconnecting << 1;
        QTest::newRow("then reconnects") << played + " | tick 2000" << reconnecting << 2;
        QTest::newRow("and plays again") << played + " | tick 2000 | playing" << LiveStatus::playing("mjpeg") << 2;
        QTest::newRow("again after every picture")
            << played + " | tick 2000 | playing | mjpegfail | tick 2000" << reconnecting << 3;
        QTest::newRow("no picture on the new connection")
            << played + " | tick 2000 | mjpegfail | tick 20000" << LiveStatus::error("Flusso non disponibile") << 2;
        QTest::newRow("a reason wins over the wait")
            << played + " | tick 2000 | fail changed | tick 20000" << LiveStatus::error("changed") << 2;
        QTest::newRow("stop ends the wait") << played + " | stop | tick 20000" << reconnecting << 1;
    }
    void mjpegReconnect()
    {
        QFETCH(QString, script);
        QFETCH(LiveStatus, status);
        QFETCH(int, mjpegStarts);

        const Scripted live(script);
        QCOMPARE(described(live.policy.status()), described(status));
        QCOMPARE(live.port.mjpegStarts, mjpegStarts);
    }
};

QTEST_GUILESS_MAIN(TestLiveSession)
#include "tst_livesession.moc"
