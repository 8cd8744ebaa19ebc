#include "ManualPollingClock.h"
#include "SignedInModel.h"
#include "TaskRunner.h"
#include "screens/StatusViewModel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using Tab = StatusViewModel::StatusTab;

namespace {

QJsonObject rawLines(int count, const QString &word)
{
    QJsonArray lines;
    for (int number = 0; number < count; ++number)
        lines.append(QStringLiteral("2024-06-11 10:00:01.000000000  [2024-06-11 10:00:01] frigate.test                   "
                                    "INFO    : %1 %2").arg(word).arg(number));
    return {{"service", "frigate"}, {"lines", lines}};
}

} // namespace

class TestStatusViewModel : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheServerLogMarksSeen_data()
    {
        QTest::addColumn<Tab>("tab");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("Log") << Tab::Log << true;
        QTest::newRow("go2rtc") << Tab::Go2rtc << false;
        QTest::newRow("Events") << Tab::Events << false;
        QTest::newRow("Cameras") << Tab::Cameras << false;
    }

    void onlyTheServerLogMarksSeen()
    {
        QFETCH(Tab, tab);
        QFETCH(bool, cleared);
        SignedInModel rig;
        QVERIFY(rig.start("0.16"));
        runTask(rig.model->refreshLogBadge());
        QVERIFY(rig.model->statusBadge() > 0); // the demo log holds warnings and errors
        StatusViewModel status;
        status.setAppModel(rig.model.get());
        status.setTab(tab);
        runTask(status.load());
        QVERIFY(!status.loading());
        QCOMPARE(rig.model->statusBadge() == 0, cleared);
        QVERIFY(status.rows()->rowCount() > 0);
    }

    void eventsRequestAndFilter()
    {
        SignedInModel rig;
        QVERIFY(rig.start("0.16"));
        StatusViewModel status;
        status.setAppModel(rig.model.get());
        QAbstractItemModelTester tester(status.rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        rig.server.clearRequests();
        runTask(status.load());
        const QJsonArray requests = rig.server.requestsTo("/api/review");
        QCOMPARE(requests.size(), 1);
        QMap<QString, QString> query;
        for (const QJsonValue &pair : requests.first().toObject().value("query").toArray())
            query.insert(pair.toArray().at(0).toString(), pair.toArray().at(1).toString());
        QCOMPARE(query.value("limit"), QStringLiteral("200"));
        QCOMPARE(query.value("after"), QStringLiteral("1.0"));
        QCOMPARE(query.contains("severity"), !rig.model->settings().showDetections);

        const int all = status.rows()->rowCount();
        QVERIFY(all > 0);
        status.setFilter(QStringLiteral("FRONT DOOR"));
        const int front = status.rows()->rowCount();
        QVERIFY(front > 0 && front < all);
        for (int row = 0; row < front; ++row)
            QCOMPARE(status.rows()->index(row).data(LogRowRoles::Title).toString(), QStringLiteral("Front Door"));

        status.openEvent(0);
        QVERIFY(status.hasPlayer());
        const PlaybackItem played = status.player()->items.first();
        QCOMPARE(status.player()->items.size(), 1);
        QCOMPARE(played.start, played.review->start_time - 5);
        QVERIFY(played.end <= QDateTime::currentSecsSinceEpoch() + 1);
    }

    void camerasKeepTheServerRow()
    {
        SignedInModel rig;
        QVERIFY(rig.start("0.16"));
        rig.server.configure({{"json_cache", false}});
        rig.server.setCameraOffline("back_yard", true);
        StatusViewModel status;
        status.setAppModel(rig.model.get());
        status.setTab(Tab::Cameras);
        runTask(status.load());
        const auto rowTitle = [&](int row) { return status.rows()->index(row).data(LogRowRoles::Title).toString(); };
        QCOMPARE(status.rows()->rowCount(), 1 + rig.model->cameras().size());
        status.setFilter(QStringLiteral("BACK"));
        QCOMPARE(status.rows()->rowCount(), 2);
        QVERIFY(rowTitle(0).startsWith(QStringLiteral("Frigate ")));
        QCOMPARE(status.rows()->index(1).data(LogRowRoles::Time).toString(), QStringLiteral("offline"));
    }

    // The real server's slices, paged back to the first line while lines keep arriving.
    void pagesBackAndFollowsTheTail()
    {
        SignedInModel rig;
        QVERIFY(rig.start("0.16"));
        rig.server.appendLog(rawLines(900, "paged"));
        StatusViewModel status;
        ManualPollingClock clock;
        status.setClock(&clock);
        status.setAppModel(rig.model.get());
        status.setTab(Tab::Log);
        runTask(status.load());
        LogListModel *log = status.logFeed()->model();
        QAbstractItemModelTester tester(log, QAbstractItemModelTester::FailureReportingMode::QtTest);
        while (!status.reachedStart()) {
            const qint64 first = log->firstLineId();
            rig.server.appendLog(rawLines(3, "meanwhile"));
            runTask(status.logFeed()->loadEarlier());
            QVERIFY(log->firstLineId() < first);
        }
        for (qsizetype at = 0; at < log->loadedLines(); ++at)
            QCOMPARE(log->lineAt(at).id, at);

        const qsizetype before = log->loadedLines();
        status.setActive(true);
        rig.server.appendLog(rawLines(5, "followed"));
        QSignalSpy appended(&status, &StatusViewModel::logLinesAppended);
        clock.advance(StatusViewModel::TailRefresh);
        QVERIFY(appended.wait());
        // The lines added while paging and the five new ones, each once.
        QCOMPARE(log->loadedLines(), before + 5 + 3 * 3);
        QCOMPARE(log->lineAt(log->loadedLines() - 1).message, QStringLiteral("followed 4"));
    }
};

QTEST_MAIN(TestStatusViewModel)
#include "tst_statusviewmodel.moc"
