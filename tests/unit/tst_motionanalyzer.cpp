#include "playback/MotionAnalyzer.h"
#include "playback/MotionDetector.h"

#include <QPainter>
#include <QtTest>

namespace {

// A grey picture with an optional bright square (in pixels).
QImage frame(const QRect &square = {}, QSize size = QSize(384, 216))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(50, 50, 50));
    QPainter(&image).fillRect(square, qRgb(220, 220, 220));
    return image;
}

// The same as a decoded picture in `format`.
SharedFrame decodedPicture(QSize size, AVPixelFormat format, const QRect &square = {})
{
    const QImage picture = frame(square, size);
    FramePtr decoded(av_frame_alloc());
    decoded->format = format;
    decoded->width = size.width();
    decoded->height = size.height();
    SwsContext *scaler = sws_getContext(size.width(), size.height(), AV_PIX_FMT_BGRA, size.width(), size.height(),
                                        format, SWS_POINT, nullptr, nullptr, nullptr);
    if (!scaler || av_frame_get_buffer(decoded.get(), 0) < 0)
        return nullptr;
    const uint8_t *planes[4] = {picture.constBits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler, planes, strides, 0, size.height(), decoded->data, decoded->linesize);
    sws_freeContext(scaler);
    return shareFrame(std::move(decoded));
}

// Collects what an analyzer delivers, and on which thread.
struct Receiver
{
    int calls = 0;
    QList<QRectF> boxes;
    bool onGuiThread = true;

    MotionAnalyzer::Completion completion()
    {
        return [this](const QList<QRectF> &result) {
            ++calls;
            boxes = result;
            onGuiThread = onGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }
};

} // namespace

class TestMotionAnalyzer : public QObject
{
    Q_OBJECT
private slots:
    void deliversDetectorResultsOneAtATime()
    {
        QList<std::pair<QImage, double>> frames{{frame(), 1.0}, {frame(), 1.12}};
        for (int step = 1; step <= 6; ++step)
            frames.append({frame(QRect(40 * step, 60, 32, 32)), 1.12 + 0.12 * step});
        frames.append({frame(), 5.0}); // jump: rebuild
        frames.append({frame(QRect(300, 150, 40, 40)), 5.12});
        MotionAnalyzer analyzer;
        MotionDetector reference;
        Receiver accepted;
        Receiver refused;
        for (const auto &[image, time] : frames) {
            QVERIFY(analyzer.analyze(image, time, accepted.completion()));
            QVERIFY(analyzer.isBusy());
            // Another frame offered while the first is out would change the result if it were taken.
            QVERIFY(!analyzer.analyze(frame(QRect(0, 0, 200, 100)), time + 0.06, refused.completion()));
            QTRY_VERIFY(!analyzer.isBusy());
            QCOMPARE(accepted.boxes, reference.analyze(image, time));
        }
        QCOMPARE(accepted.calls, frames.size());
        QVERIFY(accepted.onGuiThread);
        QCOMPARE(refused.calls, 0);
    }

    void resetTakesEffectAfterQueuedFrame()
    {
        const QRect square(100, 80, 48, 48);
        MotionAnalyzer analyzer;
        Receiver receiver;
        QVERIFY(analyzer.analyze(frame(), 2.0, receiver.completion()));
        QTRY_COMPARE(receiver.calls, 1);
        QVERIFY(analyzer.analyze(frame(square), 2.12, receiver.completion()));
        analyzer.reset();
        QTRY_COMPARE(receiver.calls, 2);
        QVERIFY(!receiver.boxes.isEmpty());
        // The reset emptied the background: the square is now what the background holds.
        QVERIFY(analyzer.analyze(frame(square), 2.24, receiver.completion()));
        QTRY_COMPARE(receiver.calls, 3);
        QVERIFY(receiver.boxes.isEmpty());
        QVERIFY(analyzer.analyze(frame(), 2.36, receiver.completion()));
        QTRY_COMPARE(receiver.calls, 4);
        QVERIFY(!receiver.boxes.isEmpty());
    }

    // The first frame comes from another thread; the second is still out when the analyzer goes.
    void otherThreadCallerThenDestroyedInFlight()
    {
        Receiver receiver;
        {
            MotionAnalyzer analyzer;
            bool taken = false;
            std::unique_ptr<QThread> caller(
                QThread::create([&] { taken = analyzer.analyze(frame(), 0, receiver.completion()); }));
            caller->start();
            QVERIFY(caller->wait(5000));
            QVERIFY(taken);
            QTRY_COMPARE(receiver.calls, 1);
            QVERIFY(receiver.onGuiThread);
            QVERIFY(analyzer.analyze(frame(QRect(0, 0, 64, 64)), 0.12, receiver.completion()));
        }
        QCoreApplication::processEvents();
        QCOMPARE(receiver.calls, 1);
    }

    void decodedPictures_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        QTest::addColumn<QRect>("square");
        QTest::newRow("1080p, planar 4:2:0")
            << QSize(1920, 1080) << int(AV_PIX_FMT_YUV420P) << QRect(600, 300, 200, 200);
        QTest::newRow("4:3, NV12") << QSize(640, 480) << int(AV_PIX_FMT_NV12) << QRect(400, 40, 96, 96);
        QTest::newRow("flat strip") << QSize(1280, 100) << int(AV_PIX_FMT_YUV420P) << QRect(100, 20, 160, 60);
    }
    void decodedPictures()
    {
        QFETCH(QSize, size);
        QFETCH(int, format);
        QFETCH(QRect, square);
        MotionAnalyzer analyzer;
        Receiver receiver;
        // Pictures of one size in a row: the worker keeps its scaler for them.
        const QList<SharedFrame> pictures{decodedPicture(size, AVPixelFormat(format)),
                                          decodedPicture(size, AVPixelFormat(format)),
                                          decodedPicture(size, AVPixelFormat(format), square)};
        for (int i = 0; i < pictures.size(); ++i) {
            QVERIFY(analyzer.analyze(pictures[i], 0.12 * i, receiver.completion()));
            QTRY_COMPARE(receiver.calls, i + 1);
        }
        // The box covers the square, give or take one cell of the 96-column grid.
        const QSize grid = MotionDetector::analysisSize(size);
        const double cellWidth = 4.0 / grid.width();
        const double cellHeight = 4.0 / grid.height();
        const QRectF normalised(double(square.x()) / size.width(), double(square.y()) / size.height(),
                                double(square.width()) / size.width(), double(square.height()) / size.height());
        QCOMPARE(receiver.boxes.size(), 1);
        QVERIFY(receiver.boxes.first().contains(normalised.center()));
        QVERIFY(normalised.adjusted(-cellWidth, -cellHeight, cellWidth, cellHeight).contains(receiver.boxes.first()));
    }
};

QTEST_GUILESS_MAIN(TestMotionAnalyzer)
#include "tst_motionanalyzer.moc"
