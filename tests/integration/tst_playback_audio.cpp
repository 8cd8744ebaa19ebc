#include "PlaybackRig.h"
#include "LocalHttpServer.h"
#include "PulseAudioServer.h"
#include "TestMedia.h"
#include "playback/PlayerController.h"

#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QTest>
#include <QVideoSink>
#include <functional>
#include <tuple>

namespace {

// The process-wide sound server: it has to exist before Qt Multimedia first looks for devices.
PulseAudioServer *pulse = nullptr;

constexpr double Tone = 440; // the fake recordings' sine
constexpr double Silence = 30; // RMS below this is silence (the tone is ~2900)

}

class TestPlaybackAudio : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(pulse && pulse->running(), "a private PulseAudio server with a null sink is needed");
    }

    void soundFollowsSpeedAndMute()
    {
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16")}));
        PlayerRequest request;
        request.items = {PlaybackRig::recentItem(QStringLiteral("front_door"), 1200, 120)};
        PlayerController controller;
        QVideoSink sink;
        controller.setVideoSink(&sink);
        QVERIFY(controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(controller.currentTime() > 1.0, 90000);

        // Each step, then whether the tone is heard at its own pitch: sound plays at 0.5x to 2x,
        // never muted, paused or above 2x.
        PlayerController *c = &controller;
        const QList<std::tuple<const char *, std::function<void()>, bool>> steps{
            {"1x", [] {}, true},
            {"2x", [c] { c->cycleRate(); }, true},
            {"muted", [c] { c->toggleMute(); }, false},
            {"4x, unmuted", [c] { c->toggleMute(), c->cycleRate(); }, false},
            {"0.5x, past 8x", [c] { c->cycleRate(), c->cycleRate(); }, true},
            {"paused", [c] { c->togglePlay(); }, false}};
        for (const auto &[when, step, audible] : steps) {
            step();
            QTest::qWait(400); // let the sink play out what was queued before the change
            const QByteArray sound = pulse->record(800);
            const double level = ToneMeasure::rms(sound);
            const double pitch = ToneMeasure::frequency(sound);
            qInfo("%s: level %.0f, %.1f Hz", when, level, pitch);
            QVERIFY2(audible ? level > 10 * Silence : level < Silence, when);
            if (audible)
                QVERIFY2(std::abs(pitch - Tone) < 15, when);
        }
    }

    void damagedSoundLeavesThePicturesAlone()
    {
        const QByteArray recording = TestMedia::encodedVideo(QStringLiteral("1"), true);
        LocalHttpServer server;
        server.answer(QStringLiteral("/index.m3u8"), {200, TestMedia::mediaPlaylist("seg.ts"), {}});
        server.answer(QStringLiteral("/seg.ts"),
                      {200, TestMedia::damaged(recording, TestMedia::AudioPid, 0.3, 0.5), {}});
        QNetworkAccessManager network;
        PlayerController controller;
        QVideoSink sink;
        double lastPicture = -1;
        connect(&sink, &QVideoSink::videoFrameChanged, &sink, [&](const QVideoFrame &frame) {
            if (frame.isValid())
                lastPicture = double(frame.startTime()) / 1e6;
        });
        controller.setVideoSink(&sink);
        controller.setNetwork(&network);
        controller.cycleRate(); // 2x
        controller.load(server.url(QStringLiteral("/index.m3u8")), std::nullopt, {}, std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(controller.finishedCount() == 1 || controller.hasError(), 30000);
        QVERIFY(!controller.hasError());
        QVERIFY2(std::abs(lastPicture - (3 - 1.0 / 15)) < 0.001, qPrintable(QString::number(lastPicture)));
    }
};

int main(int argc, char **argv)
{
    PulseAudioServer server;
    if (server.start())
        pulse = &server;
    QGuiApplication app(argc, argv);
    TestPlaybackAudio test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playback_audio.moc"
