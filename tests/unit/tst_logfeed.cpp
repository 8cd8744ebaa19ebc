#include "TaskRunner.h"
#include "screens/LogFeed.h"
#include "screens/LogRow.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString frigateLine(int number, const QString &source = QStringLiteral("frigate.app"),
                    const QString &time = QStringLiteral("2024-06-11 10:00:01"))
{
    return QStringLiteral("%1.000000000  [%1] %2 INFO    : line %3").arg(time, source.leftJustified(30)).arg(number);
}

// A server log answering "api/logs" as the server does: Python slices of its line list, as JSON.
struct ServedLog
{
    QStringList lines;
    QList<std::pair<qint64, std::optional<qint64>>> asked;

    QByteArray answer(qint64 start, std::optional<qint64> end) const
    {
        const auto total = qint64(lines.size());
        const auto bound = [total](qint64 at) { return at < 0 ? std::max<qint64>(total + at, 0) : std::min(at, total); };
        const qint64 from = bound(start);
        const qint64 to = std::max(from, end ? bound(*end) : total);
        const QJsonObject page{{"totalLines", total},
                               {"lines", QJsonArray::fromStringList(lines.mid(from, to - from))}};
        return QJsonDocument(page).toJson(QJsonDocument::Compact);
    }

    LogFeed::PageFetcher fetcher()
    {
        return [this](QString service, qint64 start, std::optional<qint64> end) -> QCoro::Task<Result<LogPage>> {
            asked.append({start, end});
            co_return decodeLogPage(answer(start, end), start, service);
        };
    }

    void grow(int count)
    {
        const auto from = int(lines.size());
        for (int number = from; number < from + count; ++number)
            lines.append(frigateLine(number));
    }
};

// The numbers in the messages of every loaded line, oldest first.
QList<int> loadedNumbers(const LogListModel &model)
{
    QList<int> numbers;
    for (qsizetype at = 0; at < model.loadedLines(); ++at)
        numbers.append(model.lineAt(at).message.section(u' ', 1, 1).toInt());
    return numbers;
}

QList<int> range(int from, int to)
{
    QList<int> numbers;
    for (int number = from; number < to; ++number)
        numbers.append(number);
    return numbers;
}

} // namespace

class TestLogFeed : public QObject
{
    Q_OBJECT

private slots:
    void pagingBack_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("grownBetweenPages");
        QTest::addColumn<QList<qint64>>("firstLines"); // after the tail, then after each page
        QTest::newRow("two pages and a short one") << 1000 << 0 << QList<qint64>{600, 200, 0};
        QTest::newRow("exactly one page") << 400 << 0 << QList<qint64>{0};
        QTest::newRow("one line past a page") << 401 << 0 << QList<qint64>{1, 0};
        QTest::newRow("log growing while paging") << 900 << 70 << QList<qint64>{500, 100, 0};
    }

    void pagingBack()
    {
        QFETCH(int, total);
        QFETCH(int, grownBetweenPages);
        QFETCH(QList<qint64>, firstLines);
        ServedLog log;
        log.grow(total);
        LogFeed feed;
        feed.setFetcher(log.fetcher());
        QAbstractItemModelTester tester(feed.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(runTask(feed.loadTail(QStringLiteral("frigate"))));
        QSignalSpy inserted(feed.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(feed.model(), &QAbstractItemModel::modelReset);
        QCOMPARE(feed.model()->firstLineId(), firstLines.first());
        for (qsizetype page = 1; page < firstLines.size(); ++page) {
            QVERIFY(!feed.reachedStart());
            log.grow(grownBetweenPages);
            const qsizetype before = feed.model()->rowCount();
            runTask(feed.loadEarlier());
            QCOMPARE(feed.model()->firstLineId(), firstLines.at(page));
            // Each page goes in above the rows already there, in one insert at row 0.
            QCOMPARE(inserted.last().at(1).toInt(), 0);
            QCOMPARE(inserted.last().at(2).toInt(), feed.model()->rowCount() - before - 1);
        }
        QVERIFY(feed.reachedStart());
        QCOMPARE(reset.size(), 0);
        QCOMPARE(loadedNumbers(*feed.model()), range(0, total));
        // At the start nothing more is asked for.
        const qsizetype asked = log.asked.size();
        runTask(feed.loadEarlier());
        QCOMPARE(log.asked.size(), asked);
    }

    void tailRefresh_data()
    {
        QTest::addColumn<int>("added");
        QTest::addColumn<bool>("rotated");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<bool>("reloaded");
        QTest::newRow("nothing new") << 0 << false << range(100, 500) << false;
        QTest::newRow("three new lines") << 3 << false << range(100, 503) << false;
        QTest::newRow("rotated to fewer lines") << 20 << true << range(0, 20) << true;
        QTest::newRow("rotated past the old length") << 650 << true << range(250, 650) << true;
    }

    void tailRefresh()
    {
        QFETCH(int, added);
        QFETCH(bool, rotated);
        QFETCH(QList<int>, expected);
        QFETCH(bool, reloaded);
        ServedLog log;
        log.grow(500);
        LogFeed feed;
        feed.setFetcher(log.fetcher());
        QAbstractItemModelTester tester(feed.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(runTask(feed.loadTail(QStringLiteral("frigate"))));
        QSignalSpy reset(feed.model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(feed.model(), &QAbstractItemModel::rowsRemoved);

        if (rotated) {
            log.lines.clear();
            for (int number = 0; number < added; ++number)
                log.lines.append(frigateLine(number, QStringLiteral("frigate.app"), QStringLiteral("2024-06-12 08:00:00")));
        } else {
            log.grow(added);
        }
        runTask(feed.refreshTail());

        QCOMPARE(loadedNumbers(*feed.model()), expected);
        QCOMPARE(reset.size(), reloaded ? 1 : 0);
        QCOMPARE(removed.size(), 0);
    }

    // 0.14/0.15 merge later lines of the same instant into the last entry: it is redrawn, not added.
    void lastLineGrowsInPlace()
    {
        ServedLog log;
        log.grow(10);
        LogFeed feed;
        feed.setFetcher(log.fetcher());
        QVERIFY(runTask(feed.loadTail(QStringLiteral("frigate"))));
        QSignalSpy changed(feed.model(), &QAbstractItemModel::dataChanged);
        log.lines.last() += QStringLiteral("\nTraceback (most recent call last):");
        runTask(feed.refreshTail());
        QCOMPARE(feed.model()->rowCount(), 10);
        QCOMPARE(changed.size(), 1);
        QVERIFY(feed.model()->rowText(9).endsWith(QStringLiteral("Traceback (most recent call last):")));
    }

    // A line without a date shows its own time text; however long or non-ASCII the server made
    // it, the message after it stays whole.
    void undatedLineKeepsItsMessage()
    {
        LogLine line;
        line.timeText = QString(200, QChar(0x00e8));
        line.source = QStringLiteral("go2rtc");
        line.message = QStringLiteral("listen addr=:8554");
        LogListModel model;
        model.setLines({line});
        QCOMPARE(model.data(model.index(0), LogRowRoles::Subtitle).toString(), line.message);
        QCOMPARE(model.data(model.index(0), LogRowRoles::Time).toString(), line.timeText.left(63));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("empty keeps all in order") << QString() << QList<int>{0, 1, 2, 3};
        QTest::newRow("message, any case") << QStringLiteral("line 2") << QList<int>{2};
        QTest::newRow("source") << QStringLiteral("watchdog") << QList<int>{1, 3};
        QTest::newRow("not trimmed") << QStringLiteral(" 3") << QList<int>{3};
        QTest::newRow("non-ASCII lower-cased") << QStringLiteral("ünïcode") << QList<int>{0};
        QTest::newRow("nothing") << QStringLiteral("zebra") << QList<int>{};
    }

    void filter()
    {
        QFETCH(QString, filter);
        QFETCH(QList<int>, shown);
        ServedLog log;
        log.lines = {frigateLine(0) + QStringLiteral(" ÜNÏCODE"), frigateLine(1, QStringLiteral("Watchdog.front")),
                     frigateLine(2), frigateLine(3, QStringLiteral("watchdog.back"))};
        LogFeed feed;
        feed.setFetcher(log.fetcher());
        QAbstractItemModelTester tester(feed.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(runTask(feed.loadTail(QStringLiteral("frigate"))));
        feed.model()->setFilter(filter.toLower());
        QList<int> rows;
        for (int row = 0; row < feed.model()->rowCount(); ++row) {
            const QString subtitle = feed.model()->index(row).data(LogRowRoles::Subtitle).toString();
            rows.append(subtitle.section(u' ', 1, 1).toInt());
        }
        QCOMPARE(rows, shown);
    }

    // Pages and new lines arriving under a filter add only the lines it keeps.
    void filterAcrossPages()
    {
        ServedLog log;
        log.grow(1000);
        LogFeed feed;
        feed.setFetcher(log.fetcher());
        QAbstractItemModelTester tester(feed.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(runTask(feed.loadTail(QStringLiteral("frigate"))));
        feed.model()->setFilter(QStringLiteral("99"));
        runTask(feed.loadEarlier());
        log.grow(10);
        runTask(feed.refreshTail());
        QStringList shown;
        for (int row = 0; row < feed.model()->rowCount(); ++row)
            shown.append(feed.model()->index(row).data(LogRowRoles::Subtitle).toString());
        QCOMPARE(shown, (QStringList{"line 299", "line 399", "line 499", "line 599", "line 699", "line 799",
                                     "line 899", "line 990", "line 991", "line 992", "line 993", "line 994",
                                     "line 995", "line 996", "line 997", "line 998", "line 999"}));
        feed.model()->setFilter({});
        QCOMPARE(feed.model()->rowCount(), 810);
    }
};

QTEST_GUILESS_MAIN(TestLogFeed)
#include "tst_logfeed.moc"
