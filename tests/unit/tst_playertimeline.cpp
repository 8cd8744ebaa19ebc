// Wall-clock time of recordings whose files have gaps, and where a time jump lands.
#include "playback/RecordingTimeline.h"
#include "playback/PlaybackItem.h"

#include <QTest>

namespace {

// Files of 10 s from 1000 to 1030, a gap to 1100, files to 1120, a gap to 1200, one file to 1210.
QList<RecordingSegment> filesWithGaps()
{
    return {{1000, 1010}, {1010, 1020}, {1020, 1030}, {1100, 1110}, {1110, 1120}, {1200, 1210}};
}

PlaybackItem span(double start, double end)
{
    PlaybackItem item;
    item.camera = QStringLiteral("front");
    item.start = start;
    item.end = end;
    return item;
}

} // namespace

class TestPlayerTimeline : public QObject
{
    Q_OBJECT

private slots:
    void mapsMediaTimeAcrossGaps_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<bool>("trims");
        QTest::addColumn<double>("media");
        QTest::addColumn<double>("wall");

        // 0.14/0.15 play the first overlapping file whole: media 0 is its start, before the span.
        QTest::newRow("whole first file, origin") << 1005.0 << 1210.0 << false << 0.0 << 1000.0;
        QTest::newRow("whole first file, after one gap") << 1005.0 << 1210.0 << false << 35.0 << 1105.0;
        QTest::newRow("whole first file, after two gaps") << 1005.0 << 1210.0 << false << 52.0 << 1202.0;
        // 0.16 trims the first file to the requested start.
        QTest::newRow("trimmed, origin") << 1005.0 << 1210.0 << true << 0.0 << 1005.0;
        QTest::newRow("trimmed, after one gap") << 1005.0 << 1210.0 << true << 30.0 << 1105.0;
        QTest::newRow("trimmed, span starts in a gap") << 1050.0 << 1210.0 << true << 0.0 << 1100.0;
        QTest::newRow("tail cut at the span's end") << 1000.0 << 1105.0 << true << 34.0 << 1104.0;
    }

    void mapsMediaTimeAcrossGaps()
    {
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(bool, trims);
        QFETCH(double, media);
        QFETCH(double, wall);
        const RecordingTimeline timeline(filesWithGaps(), start, end, trims);
        QCOMPARE(timeline.wallTime(media), wall);
        QCOMPARE(timeline.mediaTime(wall), media);
    }

    void wallTimesOffTheRecording()
    {
        const RecordingTimeline timeline(filesWithGaps(), 1000, 1210, true);
        QCOMPARE(timeline.mediaTime(1050), 30.0); // in a gap: the first picture after it
        QCOMPARE(timeline.mediaTime(900), 0.0);
        QCOMPARE(timeline.mediaTime(5000), 60.0);
        // Unknown files: the clock counts from the span's start.
        const RecordingTimeline unmapped(1000);
        QCOMPARE(unmapped.wallTime(42), 1042.0);
        QCOMPARE(unmapped.mediaTime(1042), 42.0);
    }

    void timeJumpPicksTheItemHoldingTheTarget_data()
    {
        QTest::addColumn<double>("target");
        QTest::addColumn<int>("index");
        // Newest first, as the alerts list and a day's hours reversed give them.
        QTest::newRow("inside the newest") << 3500.0 << 0;
        QTest::newRow("inside an older one") << 1500.0 << 2;
        QTest::newRow("in the gap before the middle one: the next to start") << 2100.0 << 1;
        QTest::newRow("before all: the earliest") << 10.0 << 2;
        QTest::newRow("at an end: not held by it") << 2000.0 << 1;
        QTest::newRow("after all") << 4000.0 << -1;
    }

    void timeJumpPicksTheItemHoldingTheTarget()
    {
        QFETCH(double, target);
        QFETCH(int, index);
        const QList<PlaybackItem> items{span(3000, 3600), span(2200, 2800), span(1000, 2000)};
        QCOMPARE(timeJumpIndex(items, target), index);
    }
};

QTEST_GUILESS_MAIN(TestPlayerTimeline)
#include "tst_playertimeline.moc"
