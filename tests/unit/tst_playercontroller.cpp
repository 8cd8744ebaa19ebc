#include "client/FrigateClient.h"
#include "client/ServerTrust.h"
#include "playback/PlaybackError.h"
#include "playback/PlaybackItem.h"
#include "playback/PlayerController.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerSettings.h"

#include <QSignalSpy>
#include <QTest>

class TestPlayerController : public QObject
{
    Q_OBJECT
private slots:
    void playlistPathTruncatesWithoutExponent()
    {
        const PlaybackItem item{QStringLiteral("front_door"), QStringLiteral("Front door"), 1718096400.75, 1718096435.5,
                                std::nullopt};
        QCOMPARE(vodPlaylistPath(item), QStringLiteral("vod/front_door/start/1718096400/end/1718096435/master.m3u8"));
    }

    void nothingLoadsWithoutAServerAddress()
    {
        MemoryPreferencesStore preferences;
        MemorySecretStore secrets;
        ServerTrust trust(&preferences);
        ServerSettings settings;
        settings.internalURL = QStringLiteral("http://192.0.2.1:5000");
        FrigateClient client(settings.access(), &secrets, &trust);
        PlayerRequest request;
        request.items = {{QStringLiteral("front_door"), QStringLiteral("Front door"), 100, 160, std::nullopt}};
        request.startOffset = 30;

        PlayerController controller;
        QSignalSpy buffering(&controller, &PlayerController::isBufferingChanged);
        QVERIFY(!controller.loadCurrent(&client, request));
        QCOMPARE(request.startOffset, 30.0);
        QVERIFY(!controller.player().hasItem());
        QVERIFY(!controller.hasError());
        QCOMPARE(buffering.count(), 0);
    }

    void failureWithoutMessageUsesTheDefault()
    {
        PlayerController controller; // no network stack to fetch with
        QSignalSpy errors(&controller, &PlayerController::errorChanged);
        controller.load(QUrl(QStringLiteral("http://127.0.0.1:1/vod/x/master.m3u8")), std::nullopt, {}, std::nullopt);
        QTRY_VERIFY(controller.hasError());
        QCOMPARE(controller.errorText(), PlaybackError::generic());
        QVERIFY(!controller.isBuffering());
        QCOMPARE(errors.count(), 1);

        // Teardown leaves the published state until the next load.
        controller.teardown();
        QVERIFY(!controller.player().hasItem());
        QVERIFY(!controller.snapshotImage());
        QVERIFY(controller.hasError());

        // The next load clears the error before trying again; its start position waits for a ready item.
        controller.load(QUrl(QStringLiteral("http://127.0.0.1:1/vod/y/master.m3u8")), std::nullopt, {}, 5.0);
        QCOMPARE(errors.count(), 3);
        QCOMPARE(controller.pendingSeek(), std::optional<double>(5));
    }

    void rateCycle()
    {
        PlayerController controller;
        QList<float> seen;
        for (int i = 0; i < 6; ++i) {
            controller.cycleRate();
            seen.append(controller.rate());
        }
        QCOMPARE(seen, (QList<float>{2, 4, 8, 0.5, 1, 2}));

        // While playing the player takes a new speed at once; while paused, at the next play.
        controller.play();
        controller.cycleRate(); // 4
        QCOMPARE(controller.player().rate(), 4.0);
        controller.togglePlay();
        controller.cycleRate(); // 8
        QCOMPARE(controller.player().rate(), 4.0);
        controller.togglePlay();
        QCOMPARE(controller.player().rate(), 8.0);
    }

    void seekClampsBeforeTheDurationIsKnown()
    {
        PlayerController controller;
        controller.seek(-5);
        QCOMPARE(controller.currentTime(), 0.0);
        controller.seek(100000);
        QCOMPARE(controller.currentTime(), 100000.0);
    }
};

QTEST_MAIN(TestPlayerController)
#include "tst_playercontroller.moc"
