// Recording playback figures against the loopback fake Frigate, side by side with ffmpeg/ffprobe
// opening the same URLs in the same run, and the decoding cost of one 1080p stream.
//
//   build/<dir>/bench/bench_playback [runs]

#include "PlaybackRig.h"
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
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <sys/resource.h>
#include <thread>

namespace {

double median(QList<double> values)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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

QString authorization(const PlaybackRig &rig)
{
    return QStringLiteral("Authorization: Bearer %1\r\n").arg(rig.client->token().value_or(QString()));
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
        if (!presented.wait(60000))
            return {NAN, NAN};
        return {clock.nsecsElapsed() / 1e6, presented.first().first().toDouble()};
    }
};

void firstPictures(PlaybackRig &rig, const QString &camera, int runs)
{
    Player player;
    QList<double> ours;
    QList<double> ffmpeg;
    QList<double> ffprobe;
    for (int run = 0; run < runs; ++run) {
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(camera, 3600 + run * 120, 60)};
        ours.append(player.timeToPicture([&] { player.controller.loadCurrent(rig.client.get(), request); }).first);
        const QString url = rig.client->makeURL(vodPlaylistPath(request.items.first()))->toString();
        ffmpeg.append(timedCommand(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                    QStringLiteral("-headers"), authorization(rig), QStringLiteral("-i"), url,
                                    QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                                    QStringLiteral("null"), QStringLiteral("-")}));
        ffprobe.append(timedCommand(QStringLiteral("ffprobe"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-headers"),
                                     authorization(rig), QStringLiteral("-show_entries"),
                                     QStringLiteral("stream=codec_name"), url}));
    }
    player.controller.teardown();
    std::printf("%-10s first picture   kestrova %7.1f ms   ffmpeg -frames:v 1 %7.1f ms   ffprobe %7.1f ms   (median of %d)\n",
                qPrintable(camera), median(ours), median(ffmpeg), median(ffprobe), runs);
}

void exactSeeks(PlaybackRig &rig, const QString &camera)
{
    Player player;
    PlayerRequest request;
    request.items = {PlaybackRig::recentItem(camera, 7200, 60)};
    const QString url = rig.client->makeURL(vodPlaylistPath(request.items.first()))->toString();
    player.timeToPicture([&] { player.controller.loadCurrent(rig.client.get(), request); });
    player.controller.togglePlay();
    QList<double> ours;
    QList<double> ffmpeg;
    int exact = 0;
    const QList<double> targets{17.4, 5.2, 33.3 + 1.0 / 15, 48.93, 21.0, 8.6, 57.77};
    for (double target : targets) {
        const auto [ms, landed] = player.timeToPicture([&] { player.controller.seek(target); });
        ours.append(ms);
        if (std::abs(landed - FakeRecordings::framePts(target)) < 0.0005)
            ++exact;
        ffmpeg.append(timedCommand(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                    QStringLiteral("-headers"), authorization(rig), QStringLiteral("-ss"),
                                    QString::number(target), QStringLiteral("-i"), url, QStringLiteral("-frames:v"),
                                    QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("null"),
                                    QStringLiteral("-")}));
    }
    player.controller.teardown();
    std::printf("%-10s exact seek      kestrova %7.1f ms   ffmpeg -ss -frames:v 1 %7.1f ms   (median of %lld; %d/%lld on the exact frame)\n",
                qPrintable(camera), median(ours), median(ffmpeg), qlonglong(targets.size()), exact,
                qlonglong(targets.size()));
}

// A local 1080p recording like a camera's: 25 fps, a key frame every 2 s.
QString makeSample(const QString &codec)
{
    const bool hevc = codec == QLatin1String("hevc");
    const QString path = QDir::temp().filePath(QStringLiteral("kestrova-bench-1080p-%1.%2").arg(codec, hevc ? "mp4" : "ts"));
    if (QFile::exists(path))
        return path;
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                          QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                          QStringLiteral("testsrc2=size=1920x1080:rate=25:duration=20"), QStringLiteral("-pix_fmt"),
                          QStringLiteral("yuv420p"), QStringLiteral("-g"), QStringLiteral("50"), QStringLiteral("-b:v"),
                          QStringLiteral("4M")};
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
    const double seconds = lastTime + 1.0 / 25;

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
    std::printf("fake Frigate 0.16 on %s (loopback HTTP), 720p 15 fps recordings, 1 s key frames\n",
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
    decodeCost(QStringLiteral("h264"));
    decodeCost(QStringLiteral("hevc"));
    return 0;
}
