#include "SignedInModel.h"
#include "screens/CameraHistoryModel.h"
#include "screens/RemoteImageView.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QJsonDocument>
#include <QtTest>

namespace {

const QTimeZone Rome("Europe/Rome");

ReviewItem review(const QDateTime &start, const QDateTime &end)
{
    ReviewItem item;
    item.id = QString::number(start.toSecsSinceEpoch());
    item.start_time = start.toSecsSinceEpoch();
    item.end_time = end.toSecsSinceEpoch();
    return item;
}

// Makes `name` the default locale while it lives.
struct LocaleScope
{
    QLocale previous;
    explicit LocaleScope(const QString &name) { QLocale::setDefault(QLocale(name)); }
    ~LocaleScope() { QLocale::setDefault(previous); }
};

int markedCells(const MonthCalendarModel &calendar)
{
    int marked = 0;
    for (int cell = 0; cell < calendar.rowCount(); ++cell)
        marked += calendar.index(cell).data(MonthCalendarModel::MarkedRole).toBool();
    return marked;
}

} // namespace

class TestCameraHistory : public QObject
{
    Q_OBJECT
private slots:
    // Hours begin at h:00 as the server labels them, also on the days the clocks change.
    void hoursLandOnTheHour_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("perPeriod"); // 0.17 on
        QTest::addColumn<QTimeZone>("labels"); // the clocks the server's labels follow
        QTest::addColumn<int>("dayHours");
        QTest::newRow("spring forward, 0.17") << QDate(2026, 3, 29) << true << Rome << 23;
        QTest::newRow("fall back, 0.17") << QDate(2026, 10, 25) << true << Rome << 25;
        QTest::newRow("summer day, 0.16: winter offset") << QDate(2026, 7, 1) << false << QTimeZone(3600) << 24;
    }
    void hoursLandOnTheHour()
    {
        QFETCH(QDate, date);
        QFETCH(bool, perPeriod);
        QFETCH(QTimeZone, labels);
        QFETCH(int, dayHours);
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), Rome);
        const QTimeZone zone = summaryZone(perPeriod, Rome, now);
        RecordingDay day;
        for (int hour = 0; hour < 24; ++hour) {
            if (QDateTime(date, QTime(hour, 0), labels).isValid()) // the hours the clocks show
                day.hours.append(RecordingHour{QString::asprintf("%02d", hour), 0, 0, 0, 3600});
        }
        const QList<HourSlot> hours = hourSlots(day, date, zone, now);
        QCOMPARE(hours.constFirst().hour, 23);
        QCOMPARE(hours.constFirst().next, dayStart(date.addDays(1), zone));
        qint64 total = 0;
        for (qsizetype at = 0; at < hours.size(); ++at) {
            const HourSlot &slot = hours.at(at);
            QCOMPARE(slot.start.toTimeZone(labels).time(), QTime(slot.hour, 0));
            QCOMPARE(slot.start.toTimeZone(labels).date(), date);
            if (at + 1 < hours.size())
                QCOMPARE(hours.at(at + 1).next, slot.start);
            total += slot.start.secsTo(slot.next);
        }
        QCOMPARE(total, dayHours * 3600);
        QCOMPARE(hourRangeText(23), QStringLiteral("23:00 – 00:00"));
    }

    void thumbnailTimes_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("hour");
        QTest::addColumn<QVariant>("duration");
        QTest::addColumn<qint64>("nowAfterStart"); // seconds
        QTest::addColumn<qint64>("afterStart"); // seconds from the hour's start to the frame
        QTest::newRow("running hour") << QDate(2026, 6, 1) << 14 << QVariant(600.0) << qint64(1000) << qint64(970);
        QTest::newRow("past hour, 600 s") << QDate(2026, 6, 1) << 14 << QVariant(600.0) << qint64(9000) << qint64(3300);
        QTest::newRow("past hour, no duration")
            << QDate(2026, 6, 1) << 14 << QVariant() << qint64(9000) << qint64(1800);
        QTest::newRow("past hour, negative duration")
            << QDate(2026, 6, 1) << 14 << QVariant(-4.4e28) << qint64(9000) << qint64(1800);
        QTest::newRow("past hour, infinite duration")
            << QDate(2026, 6, 1) << 14 << QVariant(-qInf()) << qint64(9000) << qint64(1800);
        QTest::newRow("two-hour 02 of a 25-hour day")
            << QDate(2026, 10, 25) << 2 << QVariant(7000.0) << qint64(90000) << qint64(3700);
    }
    void thumbnailTimes()
    {
        QFETCH(QDate, date);
        QFETCH(int, hour);
        QFETCH(QVariant, duration);
        QFETCH(qint64, nowAfterStart);
        QFETCH(qint64, afterStart);
        RecordingDay day;
        day.hours = {RecordingHour{QString::number(hour), 0, 0, 0, std::nullopt}};
        if (duration.isValid())
            day.hours[0].duration = duration.toDouble();
        const QDateTime start = dayStart(date, Rome).addSecs(hour * 3600); // no clock change before 03:00
        const QDateTime now = start.addSecs(nowAfterStart);
        const HourSlot slot = hourSlots(day, date, Rome, now).constFirst();
        QCOMPARE(hourThumbnailTime(slot, now) - start.toSecsSinceEpoch(), afterStart);
    }

    // The summary's motion is a count of motion boxes, not seconds.
    void hourSummary()
    {
        const LocaleScope english("en_US");
        QCOMPARE(hourSummaryText(RecordingHour{"14", 2, 5310, 212, 3600}), "1 h 0 min · motion 5,310 · 2 events");
    }

    void alertDayMarks_data()
    {
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<bool>("showDetections");
        QTest::addColumn<QStringList>("marked");
        const QByteArray mixed = R"({"last24Hours": {"total_alert": 4, "total_detection": 4},
            "2026-06-11": {"total_alert": 0, "total_detection": 3},
            "2026-06-10": {"total_alert": " 2 ", "total_detection": null},
            "2026-06-09": {"total_alert": "many", "total_detection": true},
            "2026-06-08": {"total_alert": "nan", "total_detection": "1e400"},
            "2026-06-07": 5, "yesterday": {"total_alert": 1}})";
        QTest::newRow("alerts only") << mixed << false << QStringList{"2026-06-10"};
        QTest::newRow("with detections") << mixed << true << QStringList{"2026-06-10", "2026-06-11"};
    }
    void alertDayMarks()
    {
        QFETCH(QByteArray, summary);
        QFETCH(bool, showDetections);
        QFETCH(QStringList, marked);
        QStringList days = markedAlertDays(QJsonDocument::fromJson(summary).object(), showDetections).values();
        days.sort();
        marked.sort();
        QCOMPARE(days, marked);
    }

    // Servers answer items contained in the window (0.14, 0.15) or overlapping it (0.16 on).
    void dayAlertsStartInTheDay()
    {
        const QDate date(2026, 10, 25);
        const QDateTime start = dayStart(date, Rome);
        const QDateTime end = dayStart(date.addDays(1), Rome);
        const QList<ReviewItem> answer = {review(end, end.addSecs(60)), review(end.addSecs(-60), end.addSecs(600)),
                                          review(start, start.addSecs(60)),
                                          review(start.addSecs(-60), start.addSecs(60))};
        QCOMPARE(itemsStartingIn(answer, start, end), (QList<ReviewItem>{answer.at(1), answer.at(2)}));
    }

    void monthGrid_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("firstCell");
        QTest::addColumn<int>("rows");
        // February 2026 begins on a Sunday.
        QTest::newRow("Sunday first") << "en_US" << QDate(2026, 2, 1) << 4;
        QTest::newRow("Monday first") << "it_IT" << QDate(2026, 1, 26) << 5;
        QTest::newRow("Saturday first") << "ar_EG" << QDate(2026, 1, 31) << 5;
    }
    void monthGrid()
    {
        QFETCH(QString, locale);
        QFETCH(QDate, firstCell);
        QFETCH(int, rows);
        const LocaleScope scope(locale);
        const QDate today(2026, 2, 17);
        MonthCalendarModel calendar(nullptr, [today] { return today; });
        QAbstractItemModelTester tester(&calendar, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(calendar.cellDate(0), firstCell);
        QCOMPARE(calendar.rows(), rows);
        QCOMPARE(calendar.selected(), today);
        QVERIFY(!calendar.selectDate(today.addDays(1)));
        calendar.showNextMonth();
        QCOMPARE(calendar.month(), QDate(2026, 2, 1));
        calendar.moveSelectionMonths(-1);
        QCOMPARE(calendar.cellDate(calendar.selectedCell()), QDate(2026, 1, 17));
    }

    // Thumbnails are asked as each version renders them, the codec comes from the recordings,
    // and a failed load keeps the marks it had.
    void recordingsAgainstServer_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("imageHeight");
        QTest::newRow("0.14 H.264") << "0.14" << QStringLiteral("front_door") << "H.264" << 720; // PNG, full size
        QTest::newRow("0.15 H.265") << "0.15" << QStringLiteral("driveway") << "H.265" << 180;
    }
    void recordingsAgainstServer()
    {
        QFETCH(QString, version);
        QFETCH(QString, camera);
        QFETCH(QString, codec);
        QFETCH(int, imageHeight);
        SignedInModel rig;
        QVERIFY(rig.start(version));
        CameraHistoryModel history;
        history.setAppModel(rig.model.get());
        history.setCamera(camera);
        QAbstractItemModelTester tester(history.hours(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        runTask(history.reload());
        QVERIFY(history.errorText().isEmpty());
        const int marked = markedCells(*history.calendar());
        QVERIFY(marked > 0);
        QVERIFY(history.hours()->rowCount() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(history.hours()->records().constLast().line3.startsWith(codec), 30000);

        // The newest hour's picture, half a minute old: an older hour's may fall in one of the
        // server's recording gaps, which move with the time of day.
        const HistoryRow row = history.hours()->records().constFirst();
        ApiRequest request{row.thumbPath, RemoteImageView::queryItems(row.thumbQuery)};
        request.maxBytes = BodyLimit::Image;
        const auto image = runTask(rig.model->client()->request(request));
        QVERIFY2(image.ok(), qPrintable(row.thumbPath));
        QCOMPARE(QImage::fromData(image.value()).height(), imageHeight);

        rig.server.addFault({{"path", "/recordings/summary$"}, {"status", 500}, {"body", "{}"}});
        runTask(history.reload());
        QVERIFY(!history.errorText().isEmpty());
        QCOMPARE(markedCells(*history.calendar()), marked);
    }
};

QTEST_GUILESS_MAIN(TestCameraHistory)
#include "tst_camerahistory.moc"
