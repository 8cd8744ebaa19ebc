#include "ManualPollingClock.h"
#include "RecordTexts.h"
#include "TaskRunner.h"
#include "client/FrigateApi.h"
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
                        const QString &object = QStringLiteral("person"))
{
    QList<ReviewItem> list;
    for (int n = first; n < first + count; ++n) {
        ReviewItem item{QStringLiteral("r%1").arg(n), camera, 1.7e9 - n};
        item.end_time = item.start_time + 60;
        item.data.objects = {object};
        list.append(item);
    }
    return list;
}

// A model without a server; pages are answered by hand, in any order, and the server reads
// `before` as a start-time bound.
class Alerts : public AlertsViewModel
{
    Q_OBJECT
public:
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    AppModel model{&preferences, &secrets, &trust, &clock};
    QList<FrigateApi::ReviewQuery> queries;

    Alerts()
    {
        runTask(model.initialize());
        CameraInfo door;
        door.name = QStringLiteral("front_door");
        door.friendlyName = QStringLiteral("Entrance");
        model.setCameraOrder(QList<CameraInfo>{door});
        setAppModel(&model);
    }
    QStringList rowIds() const { return idsOf(rows()->records()); }
    void answer(qsizetype request, const Page &page)
    {
        *m_answers.at(request) = page;
        emit answered();
        QCoreApplication::sendPostedEvents(); // the waiting loads resume through queued calls
    }
    void answerLast(const Page &page) { answer(m_answers.size() - 1, page); }

signals:
    void answered();

protected:
    QCoro::Task<Page> fetchPage(FrigateApi::ReviewQuery query) override
    {
        queries.append(query);
        const auto answer = std::make_shared<std::optional<Page>>();
        m_answers.append(answer);
        while (!*answer)
            co_await qCoro(this, &Alerts::answered);
        co_return **answer;
    }
    FrigateApi::ReviewPager makePager(FrigateApi::ReviewQuery first) const override
    {
        return FrigateApi::ReviewPager(first, FrigateApi::ReviewPaging::ByStartTime);
    }

private:
    QList<std::shared_ptr<std::optional<Page>>> m_answers;
};

} // namespace

class TestAlertsViewModel : public QObject
{
    Q_OBJECT

private slots:
    // The last row appearing asks for the page below the last start (which brings the last item
    // again); a page counts whole, repeats included.
    void pagingAppendsOnce_data()
    {
        QTest::addColumn<int>("firstCount");
        QTest::addColumn<int>("nextFirst");
        QTest::addColumn<int>("nextCount");
        QTest::addColumn<bool>("reachedEnd");
        QTest::newRow("short first page") << 40 << -1 << 0 << true;
        QTest::newRow("full, then empty") << 100 << 100 << 0 << true;
        QTest::newRow("full, then full") << 100 << 99 << 101 << false;
        QTest::newRow("full, then short with repeats") << 100 << 70 << 60 << true;
    }
    void pagingAppendsOnce()
    {
        QFETCH(int, firstCount);
        QFETCH(int, nextFirst);
        QFETCH(int, nextCount);
        QFETCH(bool, reachedEnd);
        Alerts alerts;
        alerts.appear();
        QVERIFY(alerts.loading());
        alerts.answerLast(items(0, firstCount));
        alerts.rowShown(firstCount - 2);
        alerts.rowShown(firstCount - 1);
        alerts.rowShown(firstCount - 1); // again while the page loads
        QCOMPARE(alerts.queries.size(), nextFirst < 0 ? 1 : 2);
        if (nextFirst >= 0)
            alerts.answerLast(items(nextFirst, nextCount));
        QCOMPARE(alerts.queries.first().limit, AlertsViewModel::PageSize);
        QVERIFY(!alerts.queries.first().before);
        const double lastStart = 1.7e9 - firstCount + 1;
        if (nextFirst >= 0)
            QVERIFY(alerts.queries.last().before > lastStart && alerts.queries.last().before < lastStart + 1);
        QCOMPARE(alerts.rowIds(), idsOf(items(0, std::max(firstCount, nextFirst + nextCount))));
        QCOMPARE(alerts.reachedEnd(), reachedEnd);
        QVERIFY(!alerts.loading() && !alerts.loadingMore());
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
        Alerts alerts;
        alerts.reload(false);
        alerts.answerLast(items(0, 1) + items(1, 1, "front_door", "car") + items(2, 1, "back_yard")
                          + items(3, 1, "back_yard", "car"));
        alerts.setSearch(search);
        QCOMPARE(alerts.rowIds(), visible);

        alerts.setWide(wide);
        QSignalSpy fullScreen(&alerts, &AlertsViewModel::fullScreenRequested);
        const int last = int(visible.size()) - 1;
        alerts.openItem(last);
        QCOMPARE(alerts.hasPane(), wide && last >= 0);
        QCOMPARE(fullScreen.size(), !wide && last >= 0 ? 1 : 0);
        if (last < 0)
            return;
        const PlayerRequest request =
            wide ? *alerts.paneRequest() : fullScreen.value(0).value(0).value<PlayerRequest>();
        QCOMPARE(alerts.currentID(), wide ? visible.last() : QString());
        QCOMPARE(request.index, last);
        QStringList played;
        for (const PlaybackItem &item : request.items) {
            QCOMPARE(item.start, item.review->start_time - 5);
            QCOMPARE(item.end, *item.review->end_time + 30);
            played.append(item.review->id);
        }
        QCOMPARE(played, visible);
    }

    // A notification's alert plays as its row would: found in the list, past a search that hid
    // it, or in a fresh load; one the fresh load does not hold is not waited for.
    void openReview_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("freshFirst"); // first item of the fresh load; -1: none needed
        QTest::addColumn<bool>("opens");
        QTest::newRow("in the list") << "" << "r2" << -1 << true;
        QTest::newRow("hidden by the search") << "car" << "r2" << -1 << true;
        QTest::newRow("newer than the list") << "" << "r7" << 7 << true;
        QTest::newRow("not in the fresh load") << "car" << "r9" << 10 << false;
    }
    void openReview()
    {
        QFETCH(QString, search);
        QFETCH(QString, id);
        QFETCH(int, freshFirst);
        QFETCH(bool, opens);
        Alerts alerts;
        alerts.setWide(true);
        alerts.reload(false);
        alerts.answerLast(items(0, 4));
        alerts.setSearch(search);
        alerts.openReview(id);
        QCOMPARE(alerts.queries.size(), freshFirst < 0 ? 1 : 2);
        if (freshFirst >= 0)
            alerts.answerLast(items(freshFirst, 4));
        QCOMPARE(alerts.currentID(), opens ? id : QString());
        QCOMPARE(alerts.search(), opens ? QString() : search);
        if (opens)
            QCOMPARE(alerts.rowIds().at(alerts.paneRequest()->index), id);
        // A later load opens nothing by itself.
        alerts.closePane();
        alerts.reload(false);
        alerts.answerLast(items(0, 12));
        QVERIFY(!alerts.hasPane());
    }

    // A failed load keeps the list and shows its message, unless it was cancelled; answers of
    // loads that a newer reload replaced change nothing, whatever order they come in. Turning
    // detections off reaches the client before the reload that follows asks for alerts.
    void failedAndSupersededLoads()
    {
        Alerts alerts;
        alerts.reload(false);
        alerts.answerLast(items(0, 100));
        alerts.reload(false);
        alerts.answerLast(FrigateError::http(500));
        QCOMPARE(alerts.errorText(), FrigateError::http(500).message());
        alerts.reload(true);
        alerts.answerLast(FrigateError::cancelled());
        QCOMPARE(alerts.errorText(), QString());
        QCOMPARE(alerts.rowIds(), idsOf(items(0, 100)));

        alerts.loadMore();
        alerts.reload(false);
        alerts.reload(true);
        alerts.answer(5, items(5, 3));
        alerts.answer(4, items(0, 100));
        alerts.answer(3, items(100, 100));
        QCOMPARE(alerts.rowIds(), idsOf(items(5, 3)));
        QVERIFY(!alerts.loading() && !alerts.loadingMore() && alerts.reachedEnd());

        alerts.setShowDetections(false);
        QVERIFY(!alerts.model.settings().showDetections);
        QCOMPARE(alerts.queries.size(), 7);
        QVERIFY(alerts.loading());
        const QueryItems sent =
            FrigateApi::reviewQueryItems(alerts.queries.last(), alerts.model.client()->settings().showDetections, true);
        QVERIFY(sent.contains(std::pair{QStringLiteral("severity"), QStringLiteral("alert")}));
    }

    // The rows stay a consistent model through paging, a silent reload that brings a mark
    // (an edit of its row, the paged rows kept, a page of the old list dropped) and a search.
    void rowsModelConsistent()
    {
        Alerts alerts;
        QAbstractItemModelTester tester(alerts.rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        alerts.reload(false);
        alerts.answerLast(items(0, 100));
        alerts.loadMore();
        alerts.answerLast(items(99, 101));
        QSignalSpy inserted(alerts.rows(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(alerts.rows(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(alerts.rows(), &QAbstractItemModel::dataChanged);
        emit alerts.model.reviewRevisionChanged();
        alerts.loadMore(); // continues the list that the reload replaces
        QList<ReviewItem> marked = items(99, 101);
        marked[51].has_been_reviewed = true;
        alerts.answer(2, items(0, 100));
        alerts.answer(4, marked);
        alerts.answer(3, items(200, 50));
        QCOMPARE(alerts.rows()->rowCount(), 200);
        QVERIFY(inserted.isEmpty() && removed.isEmpty());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toModelIndex().row(), 150);
        QVERIFY(alerts.rows()->index(150).data(ReviewListModel::ReviewedRole).toBool());
        alerts.setSearch(QStringLiteral("nothing like it"));
        QCOMPARE(alerts.rows()->rowCount(), 0);
        alerts.setSearch({});
        QCOMPARE(alerts.rows()->rowCount(), 200);
    }
};

QTEST_GUILESS_MAIN(TestAlertsViewModel)
#include "tst_alertsviewmodel.moc"
