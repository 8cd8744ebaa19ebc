// Recording playback figures: the player against the loopback fake Frigate and against a 1080p
// recording served locally, each beside libavformat's own HLS demuxer doing the same work on the
// same playlist in this process, in the same run; and the decoding cost of one 1080p stream.
//
//   build/<dir>/bench/bench_playback [runs]

#include "FfmpegHlsPeer.h"
#include "PlaybackRig.h"
#include "ServedRecording.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/DemuxSession.h"
#include "playback/FrameQueue.h"
#include "playback/PlayerController.h"
#include "playback/VideoFrameConversion.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <sys/resource.h>
#include <thread>

namespace {

// Of the runs that gave a figure (a failed run is NaN).
double median(QList<double> values)
{
    values.removeIf([](double value) { return std::isnan(value); });
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double worst(QList<double> values)
{
    values.removeIf([](double value) { return std::isnan(value); });
    return values.isEmpty() ? NAN : *std::max_element(values.begin(), values.end());
}

// The peer's runs: times, how many landed on the expected picture, and why one failed.
struct PeerFigures
{
    QList<double> ms;
    int exact = 0;
    QString error;

    void add(const FfmpegHlsPeer::Picture &picture, double expected)
    {
        ms.append(picture.ms);
        exact += std::abs(picture.time - expected) <= 0.0005;
        if (error.isEmpty())
            error = picture.error;
    }
    // "12.3 ms", or the first failure when no run gave a figure.
    QByteArray column() const
    {
        const double value = median(ms);
        return std::isnan(value) ? "failed (" + error.toUtf8() + ")" : QByteArray::number(value, 'f', 1) + " ms";
    }
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time of one command, or NaN when it fails.
double timedCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return NAN;
    }
    return clock.nsecsElapsed() / 1e6;
}

// The request lines the player sends with an item's media requests, for libavformat's `headers`.
QString headerLines(const MediaRequest &media)
{
    QString lines;
    for (auto it = media.headers.cbegin(); it != media.headers.cend(); ++it)
        lines += it.key() + QLatin1String(": ") + it.value() + QLatin1String("\r\n");
    if (media.cookie)
        lines += QLatin1String("Cookie: ")
                 + QString::fromUtf8(media.cookie->toRawForm(QNetworkCookie::NameAndValueOnly)) + QLatin1String("\r\n");
    return lines;
}

struct Player
{
    PlayerController controller;
    QVideoSink sink;
    Player() { controller.setVideoSink(&sink); }

    // Milliseconds from the call to the first picture it brings, and that picture's time.
    std::pair<double, double> timeToPicture(const std::function<void()> &start)
    {
        QSignalSpy presented(&controller.player(), &MediaPlayer::framePresented);
        QElapsedTimer clock;
        clock.start();
        start();
        if (presented.isEmpty() && !presented.wait(60000))
            return {NAN, NAN};
        return {clock.nsecsElapsed() / 1e6, presented.first().first().toDouble()};
    }
};

void firstPictures(PlaybackRig &rig, const QString &camera, int runs)
{
    Player player;
    QList<double> ours;
    PeerFigures peer;
    for (int run = 0; run < runs; ++run) {
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(camera, 3600 + run * 120, 60)};
        const auto media = mediaRequest(*rig.client, request.items.first(), 0);
        // Taking turns at going first, so that neither gets the other's warmed server.
        if (run % 2)
            peer.add(FfmpegHlsPeer().open(media->url.toString(), headerLines(*media)), 0);
        ours.append(player.timeToPicture([&] { player.controller.loadCurrent(rig.client.get(), request); }).first);
        if (run % 2 == 0)
            peer.add(FfmpegHlsPeer().open(media->url.toString(), headerLines(*media)), 0);
    }
    player.controller.teardown();
    std::printf("%-10s first picture   kestrova %7.1f ms   libavformat hls %s   (median of %d)\n", qPrintable(camera),
                median(ours), peer.column().constData(), runs);
}

void exactSeeks(PlaybackRig &rig, const QString &camera)
{
    Player player;
    PlayerRequest request;
    request.items = {PlaybackRig::recentItem(camera, 7200, 60)};
    const auto media = mediaRequest(*rig.client, request.items.first(), 0);
    player.timeToPicture([&] { player.controller.loadCurrent(rig.client.get(), request); });
    player.controller.togglePlay();
    FfmpegHlsPeer peer;
    peer.open(media->url.toString(), headerLines(*media));
    QList<double> ours;
    int exact = 0;
    PeerFigures theirs;
    const QList<double> targets{17.4, 5.2, 33.3 + 1.0 / 15, 48.93, 21.0, 8.6, 57.77};
    for (double target : targets) {
        const auto [ms, landed] = player.timeToPicture([&] { player.controller.seek(target); });
        ours.append(ms);
        exact += std::abs(landed - FakeRecordings::framePts(target)) < 0.0005;
        theirs.add(peer.seek(target), FakeRecordings::framePts(target));
    }
    player.controller.teardown();
    std::printf("%-10s exact seek      kestrova %7.1f ms   libavformat hls %s   (median of %lld; on the exact frame "
                "%d and %d of %lld)\n",
                qPrintable(camera), median(ours), theirs.column().constData(), qlonglong(targets.size()), exact,
                theirs.exact, qlonglong(targets.size()));
}

constexpr int SampleFps = 25;

// A 1080p recording like a camera's: 25 fps, a key frame every 2 s.
QString makeSample(const QString &codec)
{
    const bool hevc = codec == QLatin1String("hevc");
    const QString path = QDir::temp().filePath(QStringLiteral("kestrova-bench-1080p-%1.%2").arg(codec, hevc ? "mp4" : "ts"));
    if (QFile::exists(path))
        return path;
    const QString source = QStringLiteral("testsrc2=size=1920x1080:rate=%1:duration=20").arg(SampleFps);
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"),        QStringLiteral("-y"),
                          QStringLiteral("-f"),           QStringLiteral("lavfi"),
                          QStringLiteral("-i"),           source,
                          QStringLiteral("-pix_fmt"),     QStringLiteral("yuv420p"),
                          QStringLiteral("-g"),           QStringLiteral("%1").arg(2 * SampleFps),
                          QStringLiteral("-b:v"),         QStringLiteral("4M")};
    if (hevc)
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx265") << QStringLiteral("-preset")
                  << QStringLiteral("ultrafast") << QStringLiteral("-x265-params") << QStringLiteral("log-level=error")
                  << QStringLiteral("-tag:v") << QStringLiteral("hvc1") << QStringLiteral("-movflags")
                  << QStringLiteral("frag_keyframe+empty_moov+default_base_moof") << QStringLiteral("-f")
                  << QStringLiteral("mp4");
    else
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("veryfast") << QStringLiteral("-f") << QStringLiteral("mpegts");
    arguments << path;
    if (std::isnan(timedCommand(QStringLiteral("ffmpeg"), arguments)))
        return {};
    return path;
}

// The 1080p H.264 sample cut as Frigate's VOD playlists are: 10 s MPEG-TS segments, ENDLIST.
bool cutIntoSegments(const QString &sample, const QString &folder)
{
    return !sample.isEmpty()
           && !std::isnan(timedCommand(
               QStringLiteral("ffmpeg"),
               {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-i"), sample, QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-f"),
                QStringLiteral("hls"), QStringLiteral("-hls_time"), QStringLiteral("10"),
                QStringLiteral("-hls_playlist_type"), QStringLiteral("vod"), QStringLiteral("-hls_segment_filename"),
                QDir(folder).filePath(QStringLiteral("segment%d.ts")),
                QDir(folder).filePath(QStringLiteral("index.m3u8"))}));
}

struct StepFigures
{
    QList<double> ours;
    int exact = 0;
    PeerFigures peer;

    void print(const char *direction) const
    {
        std::printf("1080p h264 step %-8s kestrova %6.1f ms (worst %6.1f)   libavformat hls seek+decode %s (worst "
                    "%6.1f)   (%lld steps; exactly one picture %d, peer on that picture %d)\n",
                    direction, median(ours), worst(ours), peer.column().constData(), worst(peer.ms),
                    qlonglong(ours.size()), exact, peer.exact);
    }
};

// `count` steps of one picture from where the paused player stands; the peer decodes each
// picture the player should land on.
void stepFrames(Player &player, FfmpegHlsPeer &peer, int direction, int count, StepFigures &figures)
{
    const double frame = 1.0 / SampleFps;
    for (int step = 0; step < count; ++step) {
        const double expected = player.controller.player().shownTime().value_or(NAN) + direction * frame;
        const auto [ms, landed] = player.timeToPicture([&] { player.controller.stepFrame(direction); });
        figures.ours.append(ms);
        figures.exact += std::abs(landed - expected) <= 0.0005;
        figures.peer.add(peer.seek(expected), expected);
    }
}

// Frame steps while paused at 1080p from a few places: on a key frame, on a segment boundary and
// inside a picture group, stepping back first so that the steps cross them.
void frameSteps(int steps)
{
    QTemporaryDir folder;
    ServedRecording recording;
    if (!folder.isValid() || !cutIntoSegments(makeSample(QStringLiteral("h264")), folder.path())
        || !recording.start(folder.path())) {
        std::fprintf(stderr, "the 1080p HLS recording could not be made\n");
        return;
    }
    const QUrl url = recording.url(QStringLiteral("index.m3u8"));
    QNetworkAccessManager network;
    Player player;
    player.controller.setNetwork(&network);
    player.timeToPicture([&] { player.controller.load(url, std::nullopt, {}, std::nullopt); });
    player.controller.togglePlay();
    FfmpegHlsPeer peer;
    peer.open(url.toString(), {});
    StepFigures forward;
    StepFigures backward;
    for (double position : {4.0, 10.0, 17.0}) {
        player.timeToPicture([&] { player.controller.seek(position); });
        stepFrames(player, peer, -1, steps, backward);
        stepFrames(player, peer, +1, steps, forward);
    }
    player.controller.teardown();
    std::printf("1080p H.264 %d fps, 2 s key frames, 10 s MPEG-TS segments over loopback HTTP; %d steps each way "
                "from 4.0 s, 10.0 s and 17.0 s, paused\n",
                SampleFps, steps);
    forward.print("forward");
    backward.print("backward");
}

// Demux, decode and hand over to the screen as QVideoFrames, as fast as it goes, on one session.
void decodeCost(const QString &codec)
{
    const QString path = makeSample(codec);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    SessionSetup setup;
    setup.bytes = std::make_shared<ByteQueue>(1LL << 40);
    setup.frames = std::make_shared<FrameQueue>(3);
    setup.control = std::make_shared<SessionControl>();
    setup.fragmentedMp4 = codec == QLatin1String("hevc");
    setup.bytes->append(file.readAll());
    setup.bytes->finish();

    int pictures = 0;
    double lastTime = 0;
    QImage bgra;
    QElapsedTimer tapClock;
    qint64 tapNs = 0;
    int taps = 0;
    std::thread screen([&] {
        for (;;) {
            if (auto frame = setup.frames->pop()) {
                ++pictures;
                lastTime = frame->time;
                if (pictures % 25 == 0) { // the analyzer's tap is about 8 per second; a sample is enough
                    tapClock.start();
                    bgra = VideoFrameConversion::toBgra(frame->source.get());
                    tapNs += tapClock.nsecsElapsed();
                    ++taps;
                }
                continue;
            }
            if (setup.frames->drained())
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    DemuxSession(setup).run();
    screen.join();
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore - tapNs / 1e9;
    const double seconds = lastTime + 1.0 / SampleFps;

    const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    timedCommand(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                           QStringLiteral("error"), QStringLiteral("-threads"), QStringLiteral("2"),
                                           QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("null"),
                                           QStringLiteral("-")});
    const double ffmpegCpu = cpuSeconds(RUSAGE_CHILDREN) - childBefore;
    std::printf("1080p %-5s %d pictures, %.1f s of video in %.2f s wall: %.1f %% of a core per 1x stream "
                "(decode + QVideoFrame copy); ffmpeg -f null decode alone %.1f %%; BGRA tap %.2f ms a picture\n",
                qPrintable(codec), pictures, seconds, wall.nsecsElapsed() / 1e9, 100 * cpu / seconds,
                100 * ffmpegCpu / seconds, taps ? tapNs / 1e6 / taps : NAN);
}

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "kestrova.*.info=false;qt.multimedia.*=false");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;

    PlaybackRig rig;
    if (!rig.start({.version = QStringLiteral("0.16")})) {
        std::fprintf(stderr, "the fake server did not start\n");
        return 1;
    }
    std::printf("fake Frigate 0.16 on %s (loopback HTTP), 720p 15 fps recordings, 1 s key frames: front_door H.264 "
                "in MPEG-TS, driveway H.265 in fMP4\n",
                qPrintable(rig.server.baseUrl()));
    for (const QString camera : {QStringLiteral("front_door"), QStringLiteral("driveway")}) {
        Player warmUp; // the first run renders the fake recordings
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(camera, 600, 20)};
        warmUp.timeToPicture([&] { warmUp.controller.loadCurrent(rig.client.get(), request); });
    }
    for (const QString camera : {QStringLiteral("front_door"), QStringLiteral("driveway")}) {
        firstPictures(rig, camera, runs);
        exactSeeks(rig, camera);
    }
    frameSteps(20);
    decodeCost(QStringLiteral("h264"));
    decodeCost(QStringLiteral("hevc"));
    return 0;
}
