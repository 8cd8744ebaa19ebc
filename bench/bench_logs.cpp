// Log viewer figures: a server log paged back to 20,000 lines. For each page of 400 lines, the
// time from the server's JSON to rows in the model and to the next frame of a ListView showing
// them; a filter keystroke over every loaded line; the model's memory against the raw text.
//
//   build/<dir>/bench/bench_logs [runs]

#include "client/LogPage.h"
#include "screens/LogFeed.h"
#include "ProcessStats.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <malloc.h>

void qml_register_types_Kestrova();

namespace {

constexpr int LineCount = 20000;
constexpr double PageGoalMs = 50;
constexpr double FilterGoalMs = 30;
constexpr double MemoryGoal = 3.0;

double median(QList<double> values)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Server log lines as s6 writes them for frigate: loggers, levels and message lengths vary, and
// a line now and then carries a traceback merged into it as 0.14/0.15 do.
QStringList serverLog()
{
    static const char *const loggers[] = {"frigate.app", "frigate.video", "frigate.record.maintainer",
                                          "frigate.review.maintainer", "watchdog.back_yard", "ffmpeg.front_door.detect"};
    static const char *const levels[] = {"INFO", "INFO", "INFO", "DEBUG", "WARNING", "ERROR"};
    QStringList lines;
    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    for (int number = 0; number < LineCount; ++number) {
        const QString time = start.addSecs(number * 4).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QString message = QStringLiteral("front_door: segment %1 copied to /media/frigate/recordings in 0.%2 s")
                              .arg(number).arg(number % 97);
        message += QString(QStringLiteral(" detail")).repeated(number % 13);
        if (number % 211 == 0)
            message += QStringLiteral("\nTraceback (most recent call last):\n  File \"/opt/frigate/frigate/video.py\", line 412");
        lines.append(QStringLiteral("%1.%2  [%1] %3 %4: %5")
                         .arg(time, QString::number(100000000 + number), QString::fromLatin1(loggers[number % 6]).leftJustified(30),
                              QString::fromLatin1(levels[number % 6]).leftJustified(8), message));
    }
    return lines;
}

QByteArray pageJson(const QStringList &lines, qint64 start, std::optional<qint64> end)
{
    const auto total = qint64(lines.size());
    const qint64 from = pythonSliceStart(start, total);
    const qint64 to = end ? pythonSliceStart(*end, total) : total;
    const QJsonObject page{{"totalLines", total}, {"lines", QJsonArray::fromStringList(lines.mid(from, to - from))}};
    return QJsonDocument(page).toJson(QJsonDocument::Compact);
}

const char *ListQml = R"(
import QtQuick
import Kestrova
ListView {
    width: 900; height: 800
    property var source
    model: source
    delegate: LogRow { width: ListView.view.width }
}
)";

struct Figures
{
    QList<double> pageToModel;
    QList<double> pageToFrame;
    double filterMs = NAN;
    double memoryBytes = 0;
    double rawBytes = 0;
    // The whole process's resident growth from the tail on screen to every line loaded: the model,
    // the delegates and what the allocator keeps. Only the first run's is clean; later runs reuse
    // freed pages.
    double rssGrowthMiB = 0;
};

// Pages back from the tail to the first line; each page's JSON is made beforehand, as it
// arrives from the network, and decoded inside the timing.
Figures pageBack(const QStringList &lines, QQuickWindow &window, QQuickItem *list)
{
    Figures figures;
    LogFeed feed;
    QByteArray answer;
    feed.setFetcher([&answer](QString service, qint64 start, std::optional<qint64>) -> QCoro::Task<Result<LogPage>> {
        co_return decodeLogPage(answer, start, service);
    });
    list->setProperty("source", QVariant::fromValue(feed.model()));
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    QElapsedTimer clock;
    qint64 first = LineCount - LogFeed::PageLines;
    answer = pageJson(lines, -LogFeed::PageLines, std::nullopt);
    QCoro::waitFor(feed.loadTail(QStringLiteral("frigate")));
    swapped.wait(2000);
    // After the tail is on screen, so the delegates' compilation and the glyph cache are not counted.
    ::malloc_trim(0);
    const double rssBefore = ProcessStats::current().rssMiB;
    while (first > 0) {
        answer = pageJson(lines, std::max<qint64>(first - LogFeed::PageLines, 0), first);
        swapped.clear();
        clock.start();
        QCoro::waitFor(feed.loadEarlier());
        figures.pageToModel.append(clock.nsecsElapsed() / 1e6);
        swapped.wait(2000);
        figures.pageToFrame.append(clock.nsecsElapsed() / 1e6);
        first = feed.model()->firstLineId();
    }
    for (const QString &line : lines)
        figures.rawBytes += line.toUtf8().size();
    figures.memoryBytes = feed.model()->memoryBytes();
    // Freed decoding buffers handed back first, so the figure is what the view keeps, not what
    // glibc's allocator holds on to.
    ::malloc_trim(0);
    figures.rssGrowthMiB = ProcessStats::current().rssMiB - rssBefore;

    QList<double> keystrokes;
    const QStringList typed{QStringLiteral("s"), QStringLiteral("se"), QStringLiteral("seg"), QStringLiteral("segm"),
                            QStringLiteral("segment 19"), QStringLiteral("watchdog"), QString()};
    for (const QString &filter : typed) {
        clock.start();
        feed.model()->setFilter(filter);
        keystrokes.append(clock.nsecsElapsed() / 1e6);
    }
    figures.filterMs = *std::max_element(keystrokes.begin(), keystrokes.end());
    list->setProperty("source", QVariant());
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    qml_register_types_Kestrova();
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQuickWindow window;
    window.resize(900, 800);
    QQmlComponent component(&engine);
    component.setData(ListQml, QUrl::fromLocalFile(QStringLiteral("/bench/LogList.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *list = qobject_cast<QQuickItem *>(root.get());
    if (!list) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    list->setParentItem(window.contentItem());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    const QStringList lines = serverLog();
    QList<double> toModel, toFrame, toFrameSlowest, filters, ratios;
    double raw = 0, memory = 0, firstRssGrowth = 0;
    for (int run = 0; run < runs; ++run) {
        const Figures figures = pageBack(lines, window, list);
        if (run == 0)
            firstRssGrowth = figures.rssGrowthMiB;
        toModel.append(*std::max_element(figures.pageToModel.begin(), figures.pageToModel.end()));
        toFrame.append(median(figures.pageToFrame));
        toFrameSlowest.append(*std::max_element(figures.pageToFrame.begin(), figures.pageToFrame.end()));
        filters.append(figures.filterMs);
        raw = figures.rawBytes;
        memory = figures.memoryBytes;
        ratios.append(memory / raw);
    }
    std::printf("%d lines, pages of %d (median of %d runs)\n", LineCount, LogFeed::PageLines, runs);
    std::printf("page JSON to rows in the model, slowest page  %7.2f ms   goal %5.1f ms\n", median(toModel), PageGoalMs);
    std::printf("page JSON to the next frame, median page      %7.2f ms   goal %5.1f ms\n", median(toFrame), PageGoalMs);
    std::printf("page JSON to the next frame, slowest page     %7.2f ms   goal %5.1f ms\n", median(toFrameSlowest), PageGoalMs);
    std::printf("filter keystroke over all lines, slowest      %7.2f ms   goal %5.1f ms\n", median(filters), FilterGoalMs);
    std::printf("model memory %8.2f MB, raw text %8.2f MB: %4.2f x   goal %3.1f x\n", memory / (1 << 20), raw / (1 << 20),
                median(ratios), MemoryGoal);
    std::printf("process RSS growth, first run %8.2f MB, raw text %8.2f MB: %4.2f x   goal %3.1f x\n", firstRssGrowth,
                raw / (1 << 20), firstRssGrowth / (raw / (1 << 20)), MemoryGoal);
    return 0;
}
