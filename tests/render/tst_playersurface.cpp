#include "PlaybackRig.h"
#include "TaskRunner.h"
#include "client/FrigateApi.h"
#include "playback/PlayerController.h"

#include <QDateTime>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>
#include <cmath>

void qml_register_types_Kestrova();

namespace {

const char *WindowQml = R"(
import QtQuick
import QtQuick.Window
import Kestrova

Window {
    id: root
    required property PlayerController controller
    property alias surface: surface
    width: 960
    height: 600
    visible: true
    color: "black"
    PlayerSurface { id: surface; anchors.fill: parent; controller: root.controller }
}
)";

bool nearWhite(QRgb pixel)
{
    return qRed(pixel) > 220 && qGreen(pixel) > 220 && qBlue(pixel) > 220;
}

bool closeTo(QRgb pixel, QRgb expected, int tolerance = 10)
{
    return std::abs(qRed(pixel) - qRed(expected)) <= tolerance && std::abs(qGreen(pixel) - qGreen(expected)) <= tolerance
        && std::abs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

// Where the video lands in the window when fitted with its aspect kept.
QRectF fitted(const QSizeF &window, double aspect)
{
    const double width = std::min(window.width(), window.height() * aspect);
    const double height = width / aspect;
    return QRectF((window.width() - width) / 2, (window.height() - height) / 2, width, height);
}

// A point of the recording's picture (in its own pixels) in window coordinates.
QPoint inWindow(const QRectF &video, const QSize &frame, QPointF at)
{
    return QPointF(video.x() + at.x() / frame.width() * video.width(),
                   video.y() + at.y() / frame.height() * video.height()).toPoint();
}

// The object's box in window coordinates, from the scene's path (see tests/fakefrigate/scene.py).
QRectF objectInWindow(double epoch, const QRectF &video)
{
    const double phase = std::fmod(epoch, 60.0);
    const double progress = std::clamp((phase - 10.0) / 30.0, 0.0, 1.0);
    const QRectF normalised(0.10 + 0.60 * progress, 0.35, 0.15, 0.30);
    return QRectF(video.x() + normalised.x() * video.width(), video.y() + normalised.y() * video.height(),
                  normalised.width() * video.width(), normalised.height() * video.height());
}

}

class TestPlayerSurface : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qml_register_types_Kestrova(); }

    void playsAReviewWithBoxes_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QSize>("frame");
        // The colour bars as their stream decodes in its colour space: the 75 % grey and yellow bars.
        QTest::addColumn<QRgb>("grey");
        QTest::addColumn<QRgb>("yellow");
        QTest::newRow("HD, untagged: BT.709") << "front_door" << QSize(1280, 720) << QRgb(0x666666) << QRgb(0xbebc00);
        QTest::newRow("SD, untagged: BT.601") << "back_yard" << QSize(640, 480) << QRgb(0x666666) << QRgb(0xbcc906);
    }

    // A review of the fake server on screen: the picture is drawn (not black) in the right colours,
    // the moving object sits where the scene puts it, and the overlay outlines and labels it.
    void playsAReviewWithBoxes()
    {
        QFETCH(QString, camera);
        QFETCH(QSize, frame);
        QFETCH(QRgb, grey);
        QFETCH(QRgb, yellow);
        PlaybackRig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.16"), .tls = true}));
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(config.ok());
        const auto reviews = runTask(FrigateApi::fetchReviews(*rig.client, {.cameras = QStringList{camera}}));
        QVERIFY(reviews.ok());
        const auto finished = std::find_if(reviews.value().begin(), reviews.value().end(), [](const ReviewItem &r) {
            return r.end_time && *r.end_time < QDateTime::currentSecsSinceEpoch() - 60;
        });
        QVERIFY(finished != reviews.value().end());
        const QList<TrackedObject> tracks =
            runTask(FrigateApi::fetchTrackedObjects(*rig.client, *finished, config.value().cameras));
        QVERIFY(!tracks.isEmpty());

        PlayerRequest request;
        request.items = {{finished->camera, finished->camera, finished->start_time - 5, *finished->end_time + 30,
                          *finished}};
        request.startOffset = 17; // the object is half way across
        PlayerController controller;
        controller.setMotionEnabled(true);

        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&engine);
        component.setData(WindowQml, QUrl());
        std::unique_ptr<QObject> root(
            component.createWithInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(&controller)}}));
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *window = qobject_cast<QQuickWindow *>(root.get());
        QVERIFY(window);
        QObject *surface = root->property("surface").value<QObject *>();
        surface->setProperty("tracks", QVariant::fromValue(tracks));
        surface->setProperty("itemStart", request.items.first().start);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QVERIFY(controller.loadCurrent(rig.client.get(), request));
        QTRY_VERIFY_WITH_TIMEOUT(!controller.motionBoxes().isEmpty(), 90000);
        controller.togglePlay();
        QTest::qWait(300);
        const double shown = *controller.player().shownTime();
        const QImage withBoxes = window->grabWindow();
        surface->setProperty("showBoxes", false);
        QTest::qWait(200);
        const QImage bare = window->grabWindow();

        const QRectF video = fitted(window->size(), double(frame.width()) / frame.height());
        const QRgb greyShown = bare.pixel(inWindow(video, frame, {0.06 * frame.width(), 0.14 * frame.height()}));
        const QRgb yellowShown = bare.pixel(inWindow(video, frame, {0.29 * frame.width(), 0.14 * frame.height()}));
        QVERIFY2(closeTo(greyShown, grey), qPrintable(QString::number(greyShown, 16)));
        QVERIFY2(closeTo(yellowShown, yellow), qPrintable(QString::number(yellowShown, 16)));
        const QRectF object = objectInWindow(request.items.first().start + shown, video);
        QVERIFY2(nearWhite(bare.pixel(object.center().toPoint())), "the object is not where the scene puts it");
        QVERIFY(!nearWhite(bare.pixel(object.adjusted(-20, 0, -20, 0).topLeft().toPoint() + QPoint(0, 40))));

        // Everything the overlay drew lies around the object (box outlines and the label above).
        int changed = 0;
        int outside = 0;
        const QRectF around = object.adjusted(-60, -60, 60, 60);
        for (int y = 0; y < bare.height(); ++y) {
            for (int x = 0; x < bare.width(); ++x) {
                if (bare.pixel(x, y) == withBoxes.pixel(x, y))
                    continue;
                ++changed;
                if (!around.contains(QPointF(x, y)))
                    ++outside;
            }
        }
        QVERIFY2(changed > 200, qPrintable(QString::number(changed)));
        QVERIFY2(outside < changed / 20, qPrintable(QStringLiteral("%1 of %2").arg(outside).arg(changed)));
    }
};

QTEST_MAIN(TestPlayerSurface)
#include "tst_playersurface.moc"
