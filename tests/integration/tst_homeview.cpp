#include "SignedInModel.h"
#include "TaskRunner.h"
#include "client/TextFormats.h"
#include "client/WireDecoding.h"
#include "screens/HomeStatusRows.h"
#include "screens/HomeViewModel.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// "a:rec,b" → camera a recording, camera b not.
QList<CameraInfo> camerasFrom(const QString &text)
{
    QList<CameraInfo> cameras;
    for (const QString &entry : text.split(u',', Qt::SkipEmptyParts)) {
        CameraInfo camera;
        camera.name = entry.section(u':', 0, 0);
        camera.recordEnabled = entry.endsWith(u":rec"_s);
        cameras.append(camera);
    }
    return cameras;
}

// Statistics as the server would send them; empty text for none received yet.
std::optional<StatsSnapshot> statsFrom(const QString &json)
{
    if (json.isEmpty())
        return std::nullopt;
    return decodeStats(QJsonDocument::fromJson(json.toUtf8()).object());
}

QString disk(const QString &volume)
{
    return R"({"service": {"storage": {"/media/frigate/recordings": )" + volume + u"}}}"_s;
}

QString rowText(const HomeStatusRow &row)
{
    return row.value + (row.ok ? u" ok"_s : u" not ok"_s);
}

QString rowText(HomeStatusListModel *rows, int at)
{
    const QModelIndex index = rows->index(at);
    const auto role = [rows](const QByteArray &name) { return rows->roleNames().key(name); };
    return index.data(role("value")).toString() + (index.data(role("ok")).toBool() ? u" ok"_s : u" not ok"_s);
}

} // namespace

class TestHomeView : public QObject
{
    Q_OBJECT

private slots:
    void gauge_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("percent");
        QTest::newRow("negative") << -0.4 << 0.0 << u"0%"_s;
        QTest::newRow("zero") << 0.0 << 0.0 << u"0%"_s;
        QTest::newRow("not a number") << std::nan("") << 0.0 << u"0%"_s;
        QTest::newRow("half rounds up") << 0.125 << 0.125 << u"13%"_s;
        QTest::newRow("odd half rounds up") << 0.375 << 0.375 << u"38%"_s;
        QTest::newRow("just below a half") << 0.994 << 0.994 << u"99%"_s;
        QTest::newRow("nearly full") << 0.9996 << 0.9996 << u"100%"_s;
        QTest::newRow("above full") << 1.7 << 1.0 << u"100%"_s;
    }

    void gauge()
    {
        QFETCH(double, value);
        QTEST(HomeViewModel::gaugeFraction(value), "fraction");
        QTEST(HomeViewModel::percentText(value), "percent");
    }

    // One row of the status card, by its symbol: "value ok" or "value not ok".
    void rows_data()
    {
        QTest::addColumn<QString>("stats");
        QTest::addColumn<QString>("cameras");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("expected");
        const QString twoCameras = u"a:rec,b"_s;
        QTest::newRow("no stats: cameras") << u""_s << twoCameras << u"video"_s << u"0 / 2 not ok"_s;
        QTest::newRow("no stats: recording") << u""_s << twoCameras << u"record.circle"_s << u"0 not ok"_s;
        QTest::newRow("no stats: detector") << u""_s << twoCameras << u"cpu"_s << u"- ok"_s;
        QTest::newRow("no stats: disk") << u""_s << twoCameras << u"internaldrive"_s << u"- ok"_s;
        QTest::newRow("no stats: alerts") << u""_s << twoCameras << u"bolt"_s << u"7 ok"_s;

        const QString frames = uR"({"cameras": {"a": {"camera_fps": 5}, "b": {"camera_fps": 0},
            "c": {"camera_fps": 4.9}, "gone": {"camera_fps": 5}}})"_s;
        QTest::newRow("stalled camera") << frames << u"a:rec,b:rec,c"_s << u"video"_s << u"2 / 3 not ok"_s;
        QTest::newRow("recording only if active") << frames << u"a:rec,b:rec,c"_s << u"record.circle"_s << u"1 ok"_s;
        QTest::newRow("camera missing from stats") << frames << u"a,c,d"_s << u"video"_s << u"2 / 3 not ok"_s;
        QTest::newRow("all active, none recording") << frames << u"a,c"_s << u"record.circle"_s << u"0 not ok"_s;
        QTest::newRow("all active") << frames << u"a,c"_s << u"video"_s << u"2 / 2 ok"_s;

        const auto detector = [](const char *ms) {
            return uR"({"detectors": {"coral": {"inference_speed": %1}}})"_s.arg(QLatin1String(ms));
        };
        QTest::newRow("detector fast") << detector("12.4") << u""_s << u"cpu"_s << u"12 ms ok"_s;
        QTest::newRow("detector just fast enough") << detector("79.4") << u""_s << u"cpu"_s << u"79 ms ok"_s;
        QTest::newRow("detector slow") << detector("80") << u""_s << u"cpu"_s << u"80 ms not ok"_s;

        // 2,000,000 MB total, 1,000,000 used; ext4 keeps 5 % for root out of the server's free figure.
        QTest::newRow("server's free figure") << disk(uR"({"total": 2000000, "used": 1000000, "free": 900000})"_s)
                                              << u""_s << u"internaldrive"_s << u"878.9 GB free of 1.91 TB ok"_s;
        QTest::newRow("free from total and used") << disk(uR"({"total": 2000000, "used": 1000000})"_s) << u""_s
                                                  << u"internaldrive"_s << u"976.6 GB free of 1.91 TB ok"_s;
        QTest::newRow("nearly full") << disk(uR"({"total": 2000000, "used": 1940000, "free": 0})"_s) << u""_s
                                     << u"internaldrive"_s << u"0 MB free of 1.91 TB not ok"_s;
        QTest::newRow("just below nearly full") << disk(uR"({"total": 2000000, "used": 1939000})"_s) << u""_s
                                                << u"internaldrive"_s << u"59.6 GB free of 1.91 TB ok"_s;
        QTest::newRow("used beyond total") << disk(uR"({"total": 100, "used": 150})"_s) << u""_s
                                           << u"internaldrive"_s << u"0 MB free of 100 MB not ok"_s;
        QTest::newRow("no total") << disk(uR"({"total": 0, "used": 10, "free": 5})"_s) << u""_s
                                  << u"internaldrive"_s << u"- ok"_s;
    }

    void rows()
    {
        QFETCH(QString, stats);
        QFETCH(QString, cameras);
        QFETCH(QString, symbol);
        const int unseen = 7;
        const QList<HomeStatusRow> rows = homeStatusRows(statsFrom(stats), camerasFrom(cameras), unseen);
        QStringList symbols;
        for (const HomeStatusRow &row : rows)
            symbols << row.symbol;
        QCOMPARE(symbols, (QStringList{u"video"_s, u"record.circle"_s, u"cpu"_s, u"internaldrive"_s, u"bolt"_s}));
        QTEST(rowText(rows.at(symbols.indexOf(symbol))), "expected");
    }

    // Against the fake server, whose recordings volume is ext4 with root's 5 % reserve.
    void againstServer()
    {
        SignedInModel rig;
        QVERIFY(rig.start(u"0.16"_s));
        rig.model->cancelPolling();
        HomeViewModel home;
        QAbstractItemModelTester tester(home.rows());
        home.setAppModel(rig.model.get());
        rig.server.clearRequests();
        runTask(home.refreshAll());

        // Requests the sign-in started (aspect probes, snapshots) may still be on their way; only
        // the order of the three refreshes matters here.
        const QStringList refreshes{u"/api/stats"_s, u"/api/review/summary"_s, u"/api/logs/frigate"_s};
        QStringList paths;
        for (const QJsonValue &entry : rig.server.requests()) {
            const QString path = entry.toObject().value("path").toString();
            if (refreshes.contains(path))
                paths << path;
        }
        QCOMPARE(paths, refreshes);

        const StatsSnapshot stats = rig.model->stats().value();
        QVERIFY(stats.diskFreeMB && *stats.diskFreeMB < stats.diskTotalMB - stats.diskUsedMB);
        const QString disk = sizeText(*stats.diskFreeMB) + u" free of "_s + sizeText(stats.diskTotalMB);
        QCOMPARE(rowText(home.rows(), 3), disk + u" ok"_s);
        const int cameras = int(rig.model->cameras().size());
        QCOMPARE(rowText(home.rows(), 0), u"%1 / %1 ok"_s.arg(cameras));
        QVERIFY(home.cpuFraction() > 0 && home.cpuFraction() < 1);
        QVERIFY(QRegularExpression(u"^Frigate 0\\.16\\.\\S+ uptime \\d+:\\d\\d:\\d\\d:\\d\\d$"_s)
                    .match(home.serverLine()).hasMatch());
        QCOMPARE(home.connectionSymbol() + u' ' + home.connectionName(), u"network Local network"_s);

        QSignalSpy statsChanged(&home, &HomeViewModel::statsChanged);
        rig.model->disconnect();
        QVERIFY(statsChanged.count() > 0);
        QCOMPARE(home.cpuPercent(), u"0%"_s);
        QCOMPARE(home.serverLine(), u"Frigate uptime 0:00:00:00"_s);
        QCOMPARE(home.connectionName(), u"Not connected"_s);
        QCOMPARE(rowText(home.rows(), 3), u"- ok"_s);
    }
};

QTEST_MAIN(TestHomeView)
#include "tst_homeview.moc"
