// The recording player screen's model against the fake server: what it tells the server, what it
// leaves on disk and where its clock puts the pictures.
#include "PlaybackRig.h"
#include "SignedInModel.h"
#include "UserFolders.h"
#include "screens/ReviewRows.h"
#include "screens/VideoPlayerModel.h"

#include <QDir>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoSink>

namespace {

const QString ViewedPath = QStringLiteral("/api/reviews/viewed");

// A signed-in model over a fake server, and a player on it.
struct Rig : SignedInModel
{
    std::unique_ptr<VideoPlayerModel> player;
    QVideoSink sink;

    bool start(const QString &version)
    {
        if (!SignedInModel::start(version))
            return false;
        player = std::make_unique<VideoPlayerModel>();
        player->setAppModel(model.get());
        player->controller()->setVideoSink(&sink);
        return true;
    }

    void play(const QList<PlaybackItem> &items, bool continuous = false)
    {
        PlayerRequest request;
        request.items = items;
        request.continuous = continuous;
        player->setRequest(request);
        player->start();
    }

    bool waitForPicture()
    {
        QSignalSpy presented(&player->controller()->player(), &MediaPlayer::framePresented);
        return presented.wait(20000);
    }
};

// An item from 15 s before to 20 s after a gap between recording files whose length the looping
// scene cannot hide (not a multiple of its minute), with recordings on both sides.
std::optional<PlaybackItem> itemAcrossAGap(FakeFrigate &server)
{
    const double now = QDateTime::currentSecsSinceEpoch();
    for (const QString camera :
         {QStringLiteral("front_door"), QStringLiteral("driveway"), QStringLiteral("back_yard")}) {
        for (const QJsonValue gap : server.recordings(camera).value(QLatin1String("gaps")).toArray()) {
            const double start = gap[QLatin1String("start_time")].toDouble();
            const double end = gap[QLatin1String("end_time")].toDouble();
            if (qint64(end - start) % 60 != 0 && end - start < 600 && end + 60 < now)
                return PlaybackItem{camera, camera, start - 15, end + 20, std::nullopt};
        }
    }
    return std::nullopt;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestVideoPlayer : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { QVERIFY(useFoldersIn(m_home)); }

    // An unseen review is marked once when opened, and not again when the player comes back to it.
    void marksSeenOnce()
    {
        Rig rig;
        QVERIFY(rig.start(QStringLiteral("0.16")));
        const QList<ReviewItem> reviews = rig.unseenReviews(2);
        QCOMPARE(reviews.size(), 2);
        QList<PlaybackItem> items;
        for (const ReviewItem &review : reviews)
            items.append(reviewPlaybackItem(review, review.camera, QDateTime::currentDateTime()));
        rig.play(items);
        QTRY_COMPARE(rig.server.requestsTo(ViewedPath).size(), 1);
        QTRY_VERIFY(!rig.player->tracks().value<QList<TrackedObject>>().isEmpty());
        rig.player->step(1);
        QTRY_COMPARE(rig.server.requestsTo(ViewedPath).size(), 2);
        rig.player->step(-1);
        QVERIFY(rig.waitForPicture());
        QCOMPARE(rig.server.requestsTo(ViewedPath).size(), 2);
    }

    // Continuous play goes through every item and stops after the last.
    void continuousPlayStopsAfterTheLast()
    {
        Rig rig;
        QVERIFY(rig.start(QStringLiteral("0.16")));
        QSignalSpy reported(rig.player.get(), &VideoPlayerModel::indexReported);
        rig.play({PlaybackRig::recentItem(QStringLiteral("front_door"), 900, 2),
                  PlaybackRig::recentItem(QStringLiteral("front_door"), 800, 2),
                  PlaybackRig::recentItem(QStringLiteral("front_door"), 700, 2)},
                 true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.player->controller()->finishedCount(), 3, 30000);
        QTest::qWait(1000);
        QCOMPARE(rig.player->index(), 2);
        QCOMPARE(reported.size(), 2);
    }

    // Media time skips the gaps between recording files; the clock of the picture must not.
    // Snapshots are PNG files named after the camera and that clock, never replacing one.
    void wallClockAcrossAGap_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("0.14 plays the first file whole") << QStringLiteral("0.14");
        QTest::newRow("0.16 trims it to the start") << QStringLiteral("0.16");
    }

    void wallClockAcrossAGap()
    {
        QFETCH(QString, version);
        Rig rig;
        QVERIFY(rig.start(version));
        const auto item = itemAcrossAGap(rig.server);
        QVERIFY2(item, "the fake server has no gap whose length is not a whole number of scene loops");
        const double gapEnd = item->end - 20;
        // Starts 5 s into a 10 s file, so 0.14 begins 5 s earlier than asked.
        rig.play({*item});
        QVERIFY(rig.waitForPicture());
        rig.player->controller()->togglePlay();
        QSignalSpy presented(&rig.player->controller()->player(), &MediaPlayer::framePresented);
        rig.player->controller()->seek(24);
        QVERIFY(presented.wait(20000));
        QTRY_VERIFY(rig.player->timeline().isMapped());
        const double wall = rig.player->shownWallTime();
        QVERIFY2(wall > gapEnd, qPrintable(QString::number(wall - gapEnd)));
        const double shown = *rig.player->controller()->player().shownTime();
        const int drawn = drawnFrameNumber(rig.player->controller()->player().shownImage());
        QCOMPARE(drawn, int(std::llround(rig.player->timeline().wallTime(shown) * FakeRecordings::Fps)
                            % FakeRecordings::LoopFrames));

        const QString folder = m_home.filePath(QStringLiteral("Pictures/Kestrova"));
        QDir(folder).removeRecursively();
        const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(wall * 1000)).toString("yyyyMMdd_HHmmss");
        rig.player->saveSnapshot();
        QTRY_VERIFY(!rig.player->toastPath().isEmpty());
        rig.player->saveSnapshot();
        QTRY_VERIFY(rig.player->toastPath().endsWith(QStringLiteral(" (2).png")));
        const QStringList expected{item->camera + "_" + stamp + " (2).png", item->camera + "_" + stamp + ".png"};
        QCOMPARE(filesIn(folder), expected);
        QCOMPARE(QImageReader(QDir(folder).filePath(expected.last())).format(), QByteArray("png"));
    }

    // One clip however often the button is pressed; a server answer that is not an MP4 leaves no file.
    void clips_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("secondsAgo");
        QTest::addColumn<bool>("saved");
        QTest::newRow("recorded") << QStringLiteral("0.16") << 900 << true;
        QTest::newRow("nothing recorded, 0.16 answers 200 and no body")
            << QStringLiteral("0.16") << 40 * 86400 << false;
        QTest::newRow("nothing recorded, 0.14 answers 500") << QStringLiteral("0.14") << 40 * 86400 << false;
    }

    void clips()
    {
        QFETCH(QString, version);
        QFETCH(int, secondsAgo);
        QFETCH(bool, saved);
        Rig rig;
        QVERIFY(rig.start(version));
        const QString downloads = m_home.filePath(QStringLiteral("Downloads"));
        QDir(downloads).removeRecursively();
        const PlaybackItem item = PlaybackRig::recentItem(QStringLiteral("driveway"), secondsAgo, 20);
        rig.play({item});
        rig.player->downloadClip();
        rig.player->downloadClip();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.player->downloading(), 20000);
        const QString clipPath =
            QStringLiteral("/api/driveway/start/%1/end/%2/clip.mp4").arg(qint64(item.start)).arg(qint64(item.end));
        QCOMPARE(rig.server.requestsTo(clipPath).size(), 1);
        const QStringList files = filesIn(downloads);
        if (!saved) {
            QCOMPARE(rig.player->toast(), QStringLiteral("Download failed"));
            QVERIFY2(files.isEmpty(), qPrintable(files.join(u' ')));
            return;
        }
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().startsWith(QStringLiteral("driveway_"))
                && files.first().endsWith(QStringLiteral(".mp4")));
        QCOMPARE(rig.player->toastPath(), QDir(downloads).filePath(files.first()));
    }
};

QTEST_MAIN(TestVideoPlayer)
#include "tst_videoplayer.moc"
