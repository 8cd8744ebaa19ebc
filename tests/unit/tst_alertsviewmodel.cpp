#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "screens/AlertsViewModel.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>
#include <QCoro/QCoroSignal>

namespace {

using Page = Result<QList<ReviewItem>>;

// Items `first`..`first + count - 1`, newest first, one second apart, ended a minute later.
QList<ReviewItem> items(int first, int count, const QString &camera = QStringLiteral("front_door"),
                        const QStringList &objects = {QStringLiteral("person")})
{
    QList<ReviewItem> list;
    for (int n = first; n < first + count; ++n) {
        ReviewItem item;
        item.id = QStringLiteral("r%1").arg(n);
        item.camera = camera;
        item.start_time = 1.7e9 - n;
        item.end_time = item.start_time + 60;
        item.data.objects = objects;
        list.append(item);
    }
    return list;
}

QStringList idsOf(const QList<ReviewItem> &list)
{
    QStringList ids;
    for (const ReviewItem &item : list)
        ids.append(item.id);
    return ids;
}

class Gate : public QObject
{
    Q_OBJECT
signals:
    void opened();
};

// Pages are answered by hand, in any order; the server reads `before` as a start-time bound.
class HandAnsweredAlerts : public AlertsViewModel
{
public:
    struct Request
    {
        FrigateApi::ReviewQuery query;
        std::optional<Page> answer;
    };
    QList<std::shared_ptr<Request>> requests;

    void answer(int request, const Page &page)
    {
        requests.at(request)->answer = page;
        emit m_gate.opened();
        QCoreApplication::sendPostedEvents(); // the waiting loads resume through queued calls
    }
    void answerLast(const Page &page) { answer(int(requests.size()) - 1, page); }

protected:
    QCoro::Task<Page> fetchPage(FrigateApi::ReviewQuery query) override
    {
        const auto request = std::make_shared<Request>(Request{query, {}});
        requests.append(request);
        while (!request->answer)
            co_await qCoro(&m_gate, &Gate::opened);
        co_return *request->answer;
    }
    FrigateApi::ReviewPager makePager(FrigateApi::ReviewQuery first) const override
    {
        return FrigateApi::ReviewPager(first, FrigateApi::ReviewPaging::ByStartTime);
    }

private:
    Gate m_gate;
};

struct Rig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    AppModel model{&preferences, &secrets, &trust, &clock};
    HandAnsweredAlerts alerts;

    Rig()
    {
        runTask(model.initialize());
        CameraInfo door;
        door.name = QStringLiteral("front_door");
        door.friendlyName = QStringLiteral("Entrance");
        model.setCameraOrder(QList<CameraInfo>{door});
        alerts.setAppModel(&model);
    }
};

} // namespace

class TestAlertsViewModel : public QObject
{
    Q_OBJECT

private slots:
    // Each next page starts below the last item's start; a page counts whole, repeats included.
    void pagingAppendsOnce_data()
    {
        QTest::addColumn<int>("firstCount");
        QTest::addColumn<int>("nextFirst");
        QTest::addColumn<int>("nextCount");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("reachedEnd");
        // The next page's bound lies just above the last start, so it brings the last item again.
        QTest::newRow("short first page") << 40 << -1 << 0 << 40 << true;
        QTest::newRow("full, then empty") << 100 << 100 << 0 << 100 << true;
        QTest::newRow("full, then full") << 100 << 99 << 101 << 200 << false;
        QTest::newRow("full, then short with repeats") << 100 << 70 << 60 << 130 << true;
    }
    void pagingAppendsOnce()
    {
        QFETCH(int, firstCount);
        QFETCH(int, nextFirst);
        QFETCH(int, nextCount);
        QFETCH(int, rows);
        QFETCH(bool, reachedEnd);
        Rig rig;
        rig.alerts.appear();
        QVERIFY(rig.alerts.loading());
        rig.alerts.answerLast(items(0, firstCount));
        QVERIFY(!rig.alerts.loading());
        rig.alerts.rowShown(firstCount - 2);
        rig.alerts.rowShown(firstCount - 1);
        rig.alerts.rowShown(firstCount - 1); // a second appearance while the page loads
        QCOMPARE(rig.alerts.requests.size(), nextFirst < 0 ? 1 : 2);
        if (nextFirst >= 0) {
            QVERIFY(rig.alerts.loadingMore());
            rig.alerts.answerLast(items(nextFirst, nextCount));
        }
        const FrigateApi::ReviewQuery first = rig.alerts.requests.first()->query;
        QCOMPARE(first.limit, AlertsViewModel::PageSize);
        QVERIFY(!first.before);
        const FrigateApi::ReviewQuery next = rig.alerts.requests.last()->query;
        const double lastStart = items(firstCount - 1, 1).first().start_time;
        if (nextFirst >= 0)
            QVERIFY(next.before > lastStart && next.before < lastStart + 1);
        const QStringList ids = idsOf(rig.alerts.rows()->records());
        QCOMPARE(ids, idsOf(items(0, rows)));
        QCOMPARE(rig.alerts.reachedEnd(), reachedEnd);
        QVERIFY(!rig.alerts.loadingMore());
    }

    // Search matches the camera's shown name or the objects, ignoring case and outer blanks;
    // the player gets the visible items only, from the chosen one on.
    void searchAndOpen_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<bool>("wide");
        QTest::newRow("blank") << "  " << QStringList{"r0", "r1", "r2", "r3"} << true;
        QTest::newRow("friendly name") << " ENTR " << QStringList{"r0", "r1"} << false;
        QTest::newRow("capitalised id") << "BACK_y" << QStringList{"r2", "r3"} << true;
        QTest::newRow("object") << "car" << QStringList{"r1", "r3"} << true;
        QTest::newRow("no match") << "front_door" << QStringList{} << true;
    }
    void searchAndOpen()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, visible);
        QFETCH(bool, wide);
        Rig rig;
        rig.alerts.reload(false);
        const QStringList car{QStringLiteral("car")};
        rig.alerts.answerLast(items(0, 1) + items(1, 1, "front_door", car) + items(2, 1, "back_yard")
                              + items(3, 1, "back_yard", car));
        rig.alerts.setSearch(search);
        QCOMPARE(idsOf(rig.alerts.rows()->records()), visible);
        QCOMPARE(rig.alerts.loadedItems().size(), 4);

        rig.alerts.setWide(wide);
        QSignalSpy fullScreen(&rig.alerts, &AlertsViewModel::fullScreenRequested);
        const int last = int(visible.size()) - 1;
        rig.alerts.openItem(last);
        if (visible.isEmpty()) {
            QVERIFY(!rig.alerts.hasPane() && fullScreen.isEmpty());
            return;
        }
        const PlayerRequest request =
            wide ? *rig.alerts.paneRequest() : fullScreen.value(0).value(0).value<PlayerRequest>();
        QCOMPARE(rig.alerts.currentID(), wide ? visible.last() : QString());
        QCOMPARE(request.index, last);
        QStringList played;
        for (const PlaybackItem &item : request.items) {
            QCOMPARE(item.start, item.review->start_time - 5);
            QCOMPARE(item.end, *item.review->end_time + 30);
            played.append(item.review->id);
        }
        QCOMPARE(played, visible);
    }

    // A failed load keeps the list; its message shows unless the load was cancelled.
    void failedReloadKeepsItems_data()
    {
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("server error") << false;
        QTest::newRow("cancelled") << true;
    }
    void failedReloadKeepsItems()
    {
        QFETCH(bool, cancelled);
        Rig rig;
        rig.alerts.reload(false);
        rig.alerts.answerLast(items(0, 3));
        rig.alerts.reload(false);
        const FrigateError error = cancelled ? FrigateError::cancelled() : FrigateError::http(500);
        rig.alerts.answerLast(error);
        QCOMPARE(rig.alerts.errorText(), cancelled ? QString() : error.message());
        QVERIFY(!rig.alerts.loading());
        QCOMPARE(idsOf(rig.alerts.rows()->records()), idsOf(items(0, 3)));
    }

    // Answers of a load that a newer reload replaced change nothing, whatever order they come in.
    void supersededAnswersDropped()
    {
        Rig rig;
        rig.alerts.reload(false);
        rig.alerts.answerLast(items(0, 100));
        rig.alerts.loadMore();
        rig.alerts.reload(false);
        rig.alerts.reload(true);
        rig.alerts.answer(3, items(5, 3));
        rig.alerts.answer(2, items(0, 100));
        rig.alerts.answer(1, items(100, 100));
        QCOMPARE(idsOf(rig.alerts.rows()->records()), idsOf(items(5, 3)));
        QVERIFY(!rig.alerts.loading() && !rig.alerts.loadingMore() && rig.alerts.reachedEnd());
    }

    // The rows stay a consistent model through paging, a silent reload that brings a mark
    // (an edit of the row, the paged rows kept) and a search.
    void rowsModelConsistent()
    {
        Rig rig;
        QAbstractItemModelTester tester(rig.alerts.rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        rig.alerts.reload(false);
        rig.alerts.answerLast(items(0, 100));
        rig.alerts.loadMore();
        rig.alerts.answerLast(items(100, 100));
        QSignalSpy inserted(rig.alerts.rows(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rig.alerts.rows(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(rig.alerts.rows(), &QAbstractItemModel::dataChanged);
        emit rig.model.reviewRevisionChanged();
        QList<ReviewItem> marked = items(100, 100);
        marked[50].has_been_reviewed = true;
        rig.alerts.answerLast(items(0, 100));
        rig.alerts.answerLast(marked);
        QCOMPARE(rig.alerts.rows()->rowCount(), 200);
        QVERIFY(inserted.isEmpty() && removed.isEmpty());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toModelIndex().row(), 150);
        QVERIFY(rig.alerts.rows()->index(150).data(ReviewListModel::ReviewedRole).toBool());
        rig.alerts.setSearch(QStringLiteral("nothing like it"));
        QCOMPARE(rig.alerts.rows()->rowCount(), 0);
        rig.alerts.setSearch({});
        QCOMPARE(rig.alerts.rows()->rowCount(), 200);
    }
};

QTEST_GUILESS_MAIN(TestAlertsViewModel)
#include "tst_alertsviewmodel.moc"
