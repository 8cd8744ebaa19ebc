// Alerts list figures: a server answer of 5,000 review items to the first rows on screen and the
// memory the list then holds; a click on a row to the first picture in the player pane.
//
//   build/<dir>/bench/bench_alerts [runs]

#include "SignedInModel.h"
#include "client/WireDecoding.h"
#include "screens/AlertsViewModel.h"
#include "screens/ReviewRows.h"
#include "screens/VideoPlayerModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QVideoSink>
#include <algorithm>
#include <cmath>

void qml_register_types_Kestrova();

namespace {

constexpr int ItemCount = 5000;

double median(QList<double> values)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return NAN;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1 << 20) : NAN;
}

// The body a 0.16 server sends for `count` review items, newest first, as the fake server shapes them.
QByteArray reviewAnswer(const QList<ReviewItem> &sample, int count)
{
    QJsonArray list;
    const double now = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        ReviewItem item = sample.at(i % sample.size());
        item.id = QStringLiteral("%1-b%2").arg(now - i * 60).arg(i, 5, 10, QLatin1Char('0'));
        item.start_time = now - i * 60;
        item.end_time = item.start_time + 30;
        list.append(encodeReviewItem(item));
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

// A list whose one page is the whole answer, decoded when the list asks for it, as the
// client does when the answer arrives.
class AnsweredAlerts : public AlertsViewModel
{
public:
    QByteArray answer;

protected:
    QCoro::Task<Result<QList<ReviewItem>>> fetchPage(FrigateApi::ReviewQuery) override
    {
        co_return decodeReviewList(answer);
    }
};

const char *ListQml = R"(
import QtQuick
import Kestrova
ListView {
    width: 430; height: 800
    property var source
    model: source ? source.rows : null
    delegate: AlertRow { width: ListView.view.width }
}
)";

// Milliseconds from the answer to the first frame showing its rows, and the memory it added.
std::pair<double, double> firstRows(QQmlEngine &engine, SignedInModel &rig, const QList<ReviewItem> &sample)
{
    QQuickWindow window;
    window.resize(430, 800);
    QQmlComponent component(&engine);
    component.setData(ListQml, QUrl::fromLocalFile(QStringLiteral("/bench/AlertList.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *list = qobject_cast<QQuickItem *>(root.get());
    if (!list) {
        qWarning("%s", qPrintable(component.errorString()));
        return {NAN, NAN};
    }
    list->setParentItem(window.contentItem());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {NAN, NAN};

    AnsweredAlerts alerts;
    alerts.answer = reviewAnswer(sample, ItemCount);
    alerts.setAppModel(rig.model.get());
    const double before = residentMegabytes();
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    QElapsedTimer clock;
    clock.start();
    list->setProperty("source", QVariant::fromValue(&alerts));
    alerts.reload(false);
    while (alerts.rows()->count() == 0 || list->property("count").toInt() == 0)
        QCoreApplication::processEvents();
    swapped.clear();
    swapped.wait(5000);
    const double ms = clock.nsecsElapsed() / 1e6;
    QTest::qWait(200);
    return {ms, residentMegabytes() - before};
}

// Milliseconds from a row's click to its first picture in the pane.
double rowToPicture(SignedInModel &rig, const ReviewItem &review)
{
    QVideoSink sink;
    VideoPlayerModel player;
    player.setAppModel(rig.model.get());
    player.controller()->setVideoSink(&sink);
    QSignalSpy presented(&player.controller()->player(), &MediaPlayer::framePresented);
    QElapsedTimer clock;
    clock.start();
    PlayerRequest request;
    request.items = {reviewPlaybackItem(review, review.camera, QDateTime::currentDateTime())};
    player.setRequest(request);
    player.start();
    const double ms = presented.wait(20000) ? clock.nsecsElapsed() / 1e6 : NAN;
    player.stop();
    return ms;
}

}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    SignedInModel rig;
    if (!rig.start(QStringLiteral("0.16"))) {
        std::fprintf(stderr, "the fake server did not start\n");
        return 1;
    }
    const QList<ReviewItem> sample = rig.unseenReviews(40);
    if (sample.isEmpty())
        return 1;

    qml_register_types_Kestrova();
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QList<double> rows;
    QList<double> memory;
    for (int run = 0; run < runs; ++run) {
        const auto [ms, megabytes] = firstRows(engine, rig, sample);
        rows.append(ms);
        memory.append(megabytes);
    }
    std::printf("%d review items: answer to first rows on screen %7.1f ms, list memory %6.1f MB   (median of %d)\n",
                ItemCount, median(rows), median(memory), runs);

    QList<double> clicks;
    for (int run = 0; run < runs; ++run)
        clicks.append(rowToPicture(rig, sample.at(run % sample.size())));
    std::printf("row click to first picture in the pane %7.1f ms   (median of %d)\n", median(clicks), runs);
    return 0;
}
