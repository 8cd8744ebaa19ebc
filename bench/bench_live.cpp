// The live view against the web page a browser-based client runs, side by side in one run on the
// fake server's relay: open to first picture, glass-to-glass latency at start and after a while,
// CPU per stream next to FFmpeg decoding the same bytes alone, memory per session, and H.265.
//
//   bench_live [minutes=10] [h264-stream=front_door] [h265-stream=driveway]
#include "FfmpegLiveDecode.h"
#include "LiveBrowserPeer.h"
#include "ProcessStats.h"
#include "SignedInModel.h"
#include "playback/LivePlayer.h"
#include "playback/LiveSession.h"
#include "playback/LiveUrls.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVideoSink>
#include <QWebSocket>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using Picture = LiveBrowserPeer::Frame;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A benchmark may wait by running the event loop; the product never does.
void waitUntil(int ms, const std::function<bool()> &done = [] { return false; })
{
    const QDeadlineTimer deadline(ms);
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (deadline.hasExpired() || done())
            loop.quit();
    });
    poll.start();
    loop.exec();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One native live session: the product's session and player, counting the pictures it presents.
struct NativeSession
{
    QVideoSink sink;
    LivePlayer player;
    LiveSession session;
    LiveBrowserPeer::Session seen;

    NativeSession(FrigateClient *client, const QString &stream, const QString &camera)
        : session(client, &player)
    {
        player.setVideoSink(&sink);
        player.setMuted(true); // as the page starts
        QObject::connect(&player, &LivePlayer::framePresented, &player, [this](double media) {
            const qint64 wall = nowMs();
            if (!seen.firstPictureMs)
                seen.firstPictureMs = wall;
            seen.frames.push_back({media, wall});
        });
        seen.openedMs = nowMs();
        session.load(stream, camera);
    }
    QString status() const
    {
        static const char *const kinds[] = {"playing", "error", "loading", "reconnecting"};
        return QLatin1String(kinds[int(session.status().kind)]) + QLatin1Char(' ') + session.status().text;
    }
};

// The relay's fragments, per connection: when each video sample left the server, by decode time.
struct Departures
{
    std::map<int, std::vector<std::pair<double, double>>> video; // connection -> (tfdt s, written s)
    std::map<int, double> firstKey;                              // connection -> written s

    static Departures fetch(FakeFrigate &server)
    {
        Departures result;
        for (const QJsonValue &value : server.liveDepartures()) {
            const QJsonObject entry = value.toObject();
            if (entry.value("track").toString() != QLatin1String("video"))
                continue;
            const int connection = entry.value("connection").toInt();
            const double written = entry.value("written").toDouble();
            result.video[connection].emplace_back(entry.value("tfdt").toDouble(), written);
            if (entry.value("key").toBool() && !result.firstKey.count(connection))
                result.firstKey[connection] = written;
        }
        return result;
    }

    // The connection on `stream` opened last at or after `openedMs`.
    static int connectionOf(FakeFrigate &server, const QString &stream, qint64 openedMs)
    {
        int found = 0;
        for (const QJsonValue &value : server.liveConnections()) {
            const QJsonObject entry = value.toObject();
            if (entry.value("stream").toString() == stream && entry.value("started").toDouble() * 1000 >= openedMs - 50)
                found = std::max(found, entry.value("id").toInt());
        }
        return found;
    }

    // Picture on the glass minus its fragment leaving the server, ms, over pictures shown after `fromMs`.
    double latency(int connection, const std::vector<Picture> &pictures, qint64 fromMs) const
    {
        const auto found = video.find(connection);
        if (found == video.end())
            return NAN;
        std::vector<double> delays;
        for (const Picture &picture : pictures) {
            if (picture.wallMs < fromMs)
                continue;
            for (const auto &[tfdt, written] : found->second) {
                if (std::abs(tfdt - picture.media) < 0.02) {
                    delays.push_back(double(picture.wallMs) - written * 1000);
                    break;
                }
            }
        }
        return median(delays);
    }
};

struct Rig
{
    SignedInModel model;
    LiveBrowserPeer browser;
    QUrl base;

    FrigateClient *client() const { return model.model->client(); }
    LiveBrowserPeer::Session *openBrowser(const QString &stream, const QString &camera)
    {
        return browser.open(LiveUrls::webSocket(base, stream).toString(), LiveUrls::mjpeg(base, camera).toString(),
                            base);
    }
};

struct FirstPicture
{
    double openMs = NAN;    // open to first picture
    double keyWaitMs = NAN; // open to the relay sending the first key frame
    double latencyMs = NAN;
    QString status;
    int pictures = 0;
};

FirstPicture measureFirst(Rig &rig, const LiveBrowserPeer::Session &seen, const QString &stream, const QString &status)
{
    FirstPicture result;
    result.status = status;
    result.pictures = int(seen.frames.size());
    const Departures departures = Departures::fetch(rig.model.server);
    const int connection = Departures::connectionOf(rig.model.server, stream, seen.openedMs);
    if (seen.firstPictureMs)
        result.openMs = double(*seen.firstPictureMs - seen.openedMs);
    if (departures.firstKey.count(connection))
        result.keyWaitMs = departures.firstKey.at(connection) * 1000 - double(seen.openedMs);
    result.latencyMs = departures.latency(connection, seen.frames, seen.openedMs);
    return result;
}

void printFirst(const char *peer, const QString &stream, const FirstPicture &first)
{
    std::printf("  %-8s %-12s first picture %7.0f ms (next key frame sent after %6.0f ms, so +%5.0f ms)  "
                "latency %6.1f ms  pictures %4d  status \"%s\"\n",
                peer, qPrintable(stream), first.openMs, first.keyWaitMs, first.openMs - first.keyWaitMs,
                first.latencyMs, first.pictures, qPrintable(first.status));
}

void compareFirstPictures(Rig &rig, const QString &stream, const QString &camera)
{
    for (int round = 0; round < 2; ++round) {
        rig.model.server.clearLiveDepartures();
        {
            NativeSession native(rig.client(), stream, camera);
            waitUntil(20000, [&] { return native.seen.frames.size() > 150; });
            printFirst("native", stream, measureFirst(rig, native.seen, stream, native.status()));
        }
        rig.model.server.clearLiveDepartures();
        LiveBrowserPeer::Session *page = rig.openBrowser(stream, camera);
        waitUntil(20000, [&] { return page->frames.size() > 150; });
        printFirst("browser", stream, measureFirst(rig, *page, stream, page->status));
        rig.browser.closeAll();
        waitUntil(500);
    }
}

} // namespace

namespace {

// The relay's bytes for one connection, as the product would receive them: the handshake, then
// every binary frame for `seconds`.
QByteArray recordRelay(const QUrl &url, int seconds)
{
    QWebSocket socket;
    QByteArray bytes;
    bool answered = false;
    QObject::connect(&socket, &QWebSocket::connected, &socket, [&] {
        socket.sendTextMessage(QStringLiteral(R"({"type":"mse","value":"avc1.640029,hvc1.1.6.L153.B0"})"));
    });
    QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString &) { answered = true; });
    QObject::connect(&socket, &QWebSocket::binaryMessageReceived, &socket,
                     [&](const QByteArray &frame) { bytes += frame; });
    socket.open(url);
    waitUntil(seconds * 1000);
    socket.close();
    return answered ? bytes : QByteArray();
}

// CPU seconds per second of stream for one native session, measured before any web page ran in
// this process (QtWebEngine's browser side keeps threads here once started).
double nativeCpu(Rig &rig, const QString &stream, const QString &camera, int seconds)
{
    const ProcessStats::Sample before = ProcessStats::current();
    {
        NativeSession native(rig.client(), stream, camera);
        waitUntil(seconds * 1000);
    }
    return (ProcessStats::current().cpuSeconds - before.cpuSeconds) / seconds;
}

// The page's CPU for the same stream, and FFmpeg decoding the bytes the relay sent alone.
void compareCpu(Rig &rig, const QString &stream, const QString &camera, int seconds, double native)
{
    const ProcessStats::Sample before = ProcessStats::current(QStringLiteral("QtWebEngineProcess"));
    rig.openBrowser(stream, camera);
    waitUntil(seconds * 1000);
    const double browser = (ProcessStats::current(QStringLiteral("QtWebEngineProcess")).cpuSeconds
                            - before.cpuSeconds) / seconds;
    rig.browser.closeAll();

    const QByteArray recorded = recordRelay(LiveUrls::webSocket(rig.base, stream), seconds);
    const FfmpegLiveDecode::Outcome ffmpeg = FfmpegLiveDecode::decode(recorded);
    const double alone = ffmpeg.mediaSeconds > 0 ? ffmpeg.cpuSeconds / ffmpeg.mediaSeconds : NAN;
    std::printf("  CPU s per s of stream (%s, %d s): native %.3f  browser (with its page processes) %.3f  "
                "ffmpeg decoding alone %.3f (%d pictures over %.1f s)  native/ffmpeg %.2fx\n",
                qPrintable(stream), seconds, native, browser, alone, ffmpeg.pictures, ffmpeg.mediaSeconds,
                native / alone);
}

// Resident memory with 1, 4 and 9 sessions on one stream, after they settled.
void compareMemory(Rig &rig, const QString &stream, const QString &camera)
{
    const int counts[] = {1, 4, 9};
    std::vector<std::unique_ptr<NativeSession>> natives;
    std::printf("  RSS, native (this process):");
    const double nativeBase = ProcessStats::current().rssMiB;
    for (int count : counts) {
        while (int(natives.size()) < count)
            natives.push_back(std::make_unique<NativeSession>(rig.client(), stream, camera));
        waitUntil(12000);
        std::printf("  %d: +%.0f MiB", count, ProcessStats::current().rssMiB - nativeBase);
    }
    natives.clear();
    waitUntil(1000);
    std::printf("\n  RSS, browser (this process and its page processes):");
    const double browserBase = ProcessStats::current(QStringLiteral("QtWebEngineProcess")).rssMiB;
    int opened = 0;
    for (int count : counts) {
        for (; opened < count; ++opened)
            rig.openBrowser(stream, camera);
        waitUntil(12000);
        std::printf("  %d: +%.0f MiB", count,
                    ProcessStats::current(QStringLiteral("QtWebEngineProcess")).rssMiB - browserBase);
    }
    rig.browser.closeAll();
    std::printf("\n");
}

// Latency over the first and the last 20 s of a long run, both peers side by side.
void compareLongLatency(Rig &rig, const QString &stream, const QString &camera, int minutes)
{
    rig.model.server.clearLiveDepartures();
    NativeSession native(rig.client(), stream, camera);
    LiveBrowserPeer::Session *page = rig.openBrowser(stream, camera);
    const auto window = [&](const char *when) {
        const qint64 from = nowMs();
        waitUntil(20000);
        const Departures departures = Departures::fetch(rig.model.server);
        const int nativeConnection = Departures::connectionOf(rig.model.server, stream, native.seen.openedMs);
        const int pageConnection = Departures::connectionOf(rig.model.server, stream, page->openedMs);
        std::printf("  latency %-16s native %6.1f ms  browser %6.1f ms\n", when,
                    departures.latency(nativeConnection, native.seen.frames, from),
                    departures.latency(pageConnection, page->frames, from));
        rig.model.server.clearLiveDepartures();
        native.seen.frames.clear();
        page->frames.clear();
    };
    window("at start");
    waitUntil(std::max(0, minutes * 60 - 40) * 1000);
    window(qPrintable(QStringLiteral("after %1 min").arg(minutes)));
    rig.browser.closeAll();
}

} // namespace

int main(int argc, char **argv)
{
    if (getuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // Chromium refuses to run as root with its sandbox
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const QString h264 = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("front_door");
    const QString h265 = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("driveway");
    Rig rig;
    if (!rig.model.start(QStringLiteral("0.16"))) {
        std::fprintf(stderr, "the fake server did not start\n");
        return 1;
    }
    rig.base = *rig.client()->baseURL();
    const double native = nativeCpu(rig, h264, h264, 20);
    std::printf("Open to first picture and latency (two rounds each):\n");
    compareFirstPictures(rig, h264, h264);
    compareFirstPictures(rig, h265, h265);
    std::printf("CPU:\n");
    compareCpu(rig, h264, h264, 20, native);
    std::printf("Memory:\n");
    compareMemory(rig, h264, h264);
    std::printf("Latency over %d minutes (%s):\n", minutes, qPrintable(h264));
    compareLongLatency(rig, h264, h264, minutes);
    return 0;
}
