#include "PlaybackRig.h"
#include "RecordTexts.h"
#include "TaskRunner.h"
#include "client/FrigateApi.h"

#include <QJsonDocument>
#include <QTest>

namespace {
const QString Viewed = QStringLiteral("/api/reviews/viewed");

struct Rig : PlaybackRig
{
    // Signed in, the version not asked yet.
    bool start(const QString &version) { return PlaybackRig::start({.version = version}); }

    QList<ReviewItem> reviews(FrigateApi::ReviewQuery query = {.limit = 500})
    {
        auto answer = runTask(FrigateApi::fetchReviews(*client, query));
        return answer ? answer.takeValue() : QList<ReviewItem>{};
    }

    std::optional<bool> seen(const QString &id)
    {
        for (const ReviewItem &item : reviews())
            if (item.id == id)
                return item.has_been_reviewed;
        return std::nullopt;
    }
};

} // namespace

class TestServerApi : public QObject
{
    Q_OBJECT
private slots:
    // Against each release: the main live stream is the first configured, the log tail takes one
    // request, and lists hold seen items and show a mark at once though the proxy caches them 5 s.
    void eachRelease_data()
    {
        QTest::addColumn<QString>("version");
        for (const char *version : {"0.14", "0.15", "0.16"})
            QTest::newRow(version) << QString::fromLatin1(version);
    }

    void eachRelease()
    {
        QFETCH(QString, version);
        Rig rig;
        QVERIFY(rig.start(version));
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(config.ok() && !config.value().cameras.isEmpty());
        for (const CameraInfo &camera : config.value().cameras) {
            QCOMPARE(camera.mainStream,
                     version == QLatin1String("0.16") ? camera.name + QStringLiteral("_clear") : camera.name);
            QCOMPARE(camera.subStream, std::optional(camera.name + QStringLiteral("_sub")));
        }

        const QString service = QStringLiteral("go2rtc");
        const QList<LogLine> all = runTask(FrigateApi::fetchLogs(*rig.client, service, 1 << 20));
        QVERIFY(all.size() > 5);
        rig.server.clearRequests();
        const QList<LogLine> tail = runTask(FrigateApi::fetchLogs(*rig.client, service, 5));
        QCOMPARE(rig.server.requests().size(), 1);
        QCOMPARE(tail.size(), 5);
        for (int i = 0; i < tail.size(); ++i)
            QVERIFY(tail[i].id == all[i].id && tail[i].message == all[i].message);

        QVERIFY(runTask(rig.client->fetchVersion()));
        const QString id = rig.reviews({.reviewed = false, .limit = 500}).value(0).id;
        const auto summary = runTask(FrigateApi::fetchReviewSummary(*rig.client, false));
        QVERIFY(summary && !id.isEmpty());
        QCOMPARE(rig.seen(id), std::optional(false));
        QCOMPARE(runTask(FrigateApi::markReviewedChunk(*rig.client, {id}, true)), Status());
        QCOMPARE(rig.seen(id), std::optional(true));
        QVERIFY(!idsOf(rig.reviews({.reviewed = false, .limit = 500})).contains(id));
        const auto after = runTask(FrigateApi::fetchReviewSummary(*rig.client, false));
        QVERIFY(after);
        QCOMPARE(FrigateApi::unseenCount(*after, true), FrigateApi::unseenCount(*summary, true) - 1);
    }

    // Servers before 0.17 read any POST to reviews/viewed as "mark seen".
    void unmarkingNeverMarks_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("versionAnswers");
        QTest::newRow("0.14") << "0.14" << true;
        QTest::newRow("0.16") << "0.16" << true;
        QTest::newRow("0.16, version unreadable") << "0.16" << false;
    }
    void unmarkingNeverMarks()
    {
        QFETCH(QString, version);
        QFETCH(bool, versionAnswers);
        Rig rig;
        QVERIFY(rig.start(version));
        const QString id = rig.reviews({.reviewed = false, .limit = 1}).value(0).id;
        QVERIFY(!id.isEmpty());
        QCOMPARE(runTask(FrigateApi::markReviewedChunk(*rig.client, {id}, true)), Status());
        QVERIFY(rig.client->serverVersion().isEmpty());
        if (!versionAnswers)
            rig.server.addFault({{"path", "^/api/version$"}, {"status", 500}});
        rig.server.clearRequests();

        const Status status = runTask(FrigateApi::markReviewedChunk(*rig.client, {id}, false));
        QCOMPARE(status.has_value(), !versionAnswers);
        QVERIFY(rig.server.requestsTo(Viewed).isEmpty());
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/review/%1/viewed").arg(id)).size(), versionAnswers ? 1 : 0);
        QCOMPARE(rig.server.state().value("reviewed").toArray().contains(id), !versionAnswers);
    }

    // Paging walks the whole list once: 0.14/0.15 bound the end time and always list items in
    // progress; two items of the fake server start at the same instant.
    void pagingMeetsEveryItemOnce_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("pageSize");
        QTest::newRow("0.14 by 2") << "0.14" << 2;
        QTest::newRow("0.16 by 1") << "0.16" << 1;
        QTest::newRow("0.16 by 7") << "0.16" << 7;
    }
    void pagingMeetsEveryItemOnce()
    {
        QFETCH(QString, version);
        QFETCH(int, pageSize);
        Rig rig;
        QVERIFY(rig.start(version));
        QVERIFY(runTask(rig.client->fetchVersion()));
        const QStringList everything = idsOf(rig.reviews());
        QVERIFY(everything.size() > 10);

        FrigateApi::ReviewPager pager = FrigateApi::reviewPager(*rig.client, {.limit = pageSize});
        QStringList paged;
        int pages = 0;
        while (!pager.finished() && pages++ <= everything.size()) {
            const FrigateApi::ReviewQuery query = pager.query();
            paged += idsOf(pager.take(rig.reviews(query)));
        }
        QCOMPARE(paged.size(), everything.size());
        QCOMPARE(QSet<QString>(paged.begin(), paged.end()), QSet<QString>(everything.begin(), everything.end()));
    }

    // Of an item with 14 detections (one back_yard item in the fake server) only the first 12 load.
    void trackedObjectsOfTheFirstTwelveDetections()
    {
        Rig rig;
        QVERIFY(rig.start(QStringLiteral("0.16")));
        const QList<ReviewItem> items = rig.reviews();
        const auto crowded = std::find_if(items.begin(), items.end(),
                                          [](const ReviewItem &item) { return item.data.detections.size() == 14; });
        QVERIFY(crowded != items.end());
        rig.server.clearRequests();
        const QList<TrackedObject> tracks = runTask(FrigateApi::fetchTrackedObjects(*rig.client, *crowded, {}));
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/timeline")).size(), 12);
        QStringList ids;
        for (const TrackedObject &track : tracks)
            ids << track.id;
        QCOMPARE(ids, crowded->data.detections.mid(0, 12));
    }

    // A broken total never gives ids beyond what a double holds exactly, nor negative ones.
    void logIdsFromBrokenTotals_data()
    {
        QTest::addColumn<QByteArray>("total");
        QTest::addColumn<qint64>("newestId");
        QTest::newRow("text") << QByteArray(R"("42")") << qint64(41);
        QTest::newRow("not a number") << QByteArray(R"("nan")") << qint64(2);
        QTest::newRow("infinite") << QByteArray(R"("-inf")") << qint64(2);
        QTest::newRow("beyond 64 bits") << QByteArray("1e300") << (qint64(1) << 53) - 1;
        QTest::newRow("fewer than received") << QByteArray("1") << qint64(2);
    }
    void logIdsFromBrokenTotals()
    {
        QFETCH(QByteArray, total);
        Rig rig;
        QVERIFY(rig.start(QStringLiteral("0.16")));
        const QByteArray body = R"({"totalLines": )" + total + R"(, "lines": ["a line", "b line", "c line"]})";
        rig.server.addFault({{"path", "^/api/logs/frigate$"}, {"body", QString::fromUtf8(body)}});
        const QList<LogLine> lines = runTask(FrigateApi::fetchLogs(*rig.client, QStringLiteral("frigate"), 300));
        QCOMPARE(lines.size(), 3);
        QTEST(lines.first().id, "newestId");
        QCOMPARE(lines.last().id, lines.first().id - 2);
        QCOMPARE(lines.last().message, QStringLiteral("a line"));
    }
};

QTEST_GUILESS_MAIN(TestServerApi)
#include "tst_serverapi.moc"
