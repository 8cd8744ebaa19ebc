#include "screens/StatusRows.h"

#include <QtTest>

class TestStatusRows : public QObject
{
    Q_OBJECT

private slots:
    void cameraRow_data()
    {
        QTest::addColumn<bool>("hasStats");
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("reconnects");
        QTest::addColumn<double>("ffmpegCPU");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("locale");
        QTest::newRow("online") << true << 5.04 << 0.0 << 0.0 << "video.fill" << "5.0 fps · detect 2.5 · skipped 1" << "online" << "en_US";
        QTest::newRow("stats at 0 fps") << true << 0.0 << 0.0 << 0.0 << "video.slash.fill" << "0.0 fps · detect 2.5 · skipped 1" << "offline" << "en_US";
        QTest::newRow("no stats") << false << 0.0 << 0.0 << 0.0 << "video.slash.fill" << "0.0 fps · detect 0.0 · skipped 0" << "offline" << "en_US";
        QTest::newRow("reconnects truncated") << true << 5.0 << 2.7 << 0.0 << "video.fill" << "5.0 fps · detect 2.5 · skipped 1" << "2 reconnections/hour" << "en_US";
        QTest::newRow("ffmpeg load") << true << 5.0 << 0.0 << 12.34 << "video.fill" << "5.0 fps · detect 2.5 · skipped 1 · ffmpeg 12.3%" << "online" << "en_US";
        QTest::newRow("decimal comma in Italian") << true << 5.0 << 0.0 << 12.34 << "video.fill"
                                                  << "5,0 fps · detect 2,5 · skipped 1 · ffmpeg 12,3%" << "online" << "it_IT";
    }

    void cameraRow()
    {
        QFETCH(bool, hasStats);
        QFETCH(double, fps);
        QFETCH(double, reconnects);
        QFETCH(double, ffmpegCPU);
        QFETCH(QString, icon);
        QFETCH(QString, subtitle);
        QFETCH(QString, status);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        CameraInfo camera{.name = "front_door", .friendlyName = "Front Door"};
        StatsSnapshot stats;
        if (hasStats)
            stats.cameras.insert("front_door", {.fps = fps, .detectionFps = 2.5, .skippedFps = 0.6, .ffmpegCPU = ffmpegCPU,
                                                .reconnects = reconnects});
        const LogRow row = ::cameraRow(camera, stats);
        QCOMPARE(row.title, QStringLiteral("Front Door"));
        QCOMPARE(row.icon, icon);
        QCOMPARE(row.subtitle, subtitle);
        QCOMPARE(row.time, status);
        QCOMPARE(row.iconColor == QColor(229, 72, 77), icon == QLatin1String("video.slash.fill"));
        QLocale::setDefault(QLocale::c());
    }

    void serverRow_data()
    {
        QTest::addColumn<bool>("hasStats");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("time");
        QTest::newRow("no stats yet") << false << "Frigate " << "CPU 0% · RAM 0% · detector 0 ms · disk 0%" << "uptime 0:00:00:00";
        QTest::newRow("stats") << true << "Frigate 0.16.2" << "CPU 13% · RAM 48% · detector 9 ms · disk 25%" << "uptime 1:02:03:04";
    }

    void serverRow()
    {
        QFETCH(bool, hasStats);
        QFETCH(QString, title);
        QFETCH(QString, subtitle);
        QFETCH(QString, time);
        std::optional<StatsSnapshot> stats;
        if (hasStats)
            stats = StatsSnapshot{.cpu = 12.6, .mem = 48.2, .diskUsedMB = 250, .diskTotalMB = 1000,
                                  .uptime = 93784, .version = "0.16.2", .inferenceMs = 8.9};
        const LogRow row = serverSummaryRow(stats);
        QCOMPARE(row.title, title);
        QCOMPARE(row.subtitle, subtitle);
        QCOMPARE(row.time, time);
    }

    void filters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("camera");
        QTest::addColumn<bool>("event");
        QTest::newRow("empty") << "" << true << true;
        QTest::newRow("upper-case typed") << "FRONT" << true << true;
        QTest::newRow("object of the event") << "person" << false << true;
        QTest::newRow("untrimmed space") << "front " << false << false;
        QTest::newRow("camera id is not its name") << "front_door" << false << false;
    }

    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(bool, camera);
        QFETCH(bool, event);
        const CameraInfo info{.name = "front_door", .friendlyName = "FrontDoor"};
        ReviewItem item;
        item.camera = "front_door";
        item.data.objects = {"person"};
        QCOMPARE(cameraMatches(info, filter.toLower()), camera);
        QCOMPARE(eventMatches(item, {info}, filter.toLower()), event);
    }

    void eventRow_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<std::optional<double>>("end");
        QTest::addColumn<bool>("reviewed");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("trailing");
        QTest::newRow("finished alert, new") << "alert" << std::optional<double>(1090) << false << "PERSON · 1 min 30 sec" << QColor(242, 107, 29) << "new";
        QTest::newRow("running detection, seen") << "detection" << std::optional<double>() << true << "PERSON · 2 min" << QColor(242, 167, 29) << "";
        QTest::newRow("end before start") << "alert" << std::optional<double>(900) << true << "PERSON · 0 sec" << QColor(242, 107, 29) << "";
    }

    void eventRow()
    {
        QFETCH(QString, severity);
        QFETCH(std::optional<double>, end);
        QFETCH(bool, reviewed);
        QFETCH(QString, subtitle);
        QFETCH(QColor, color);
        QFETCH(QString, trailing);
        ReviewItem item{.id = "r1", .camera = "back_yard", .start_time = 1000, .end_time = end, .severity = severity,
                        .has_been_reviewed = reviewed};
        item.data.objects = {"person"};
        const LogRow row = ::eventRow(item, {}, QDateTime::fromSecsSinceEpoch(1120));
        QCOMPARE(row.title, QStringLiteral("Back_yard")); // unknown camera: its id, capitalised
        QCOMPARE(row.subtitle, subtitle);
        QCOMPARE(row.iconColor, color);
        QCOMPARE(row.trailing.value_or(QString()), trailing);
    }
};

QTEST_GUILESS_MAIN(TestStatusRows)
#include "tst_statusrows.moc"
