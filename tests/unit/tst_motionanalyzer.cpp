#include "playback/MotionAnalyzer.h"
#include "playback/MotionDetector.h"

#include <QPainter>
#include <QPointer>
#include <QtTest>

namespace {

// 384 × 216 grey frame, optionally with a bright square (in source pixels).
QImage frame(const QRect &square = {})
{
    QImage image(384, 216, QImage::Format_RGB32);
    image.fill(qRgb(50, 50, 50));
    if (!square.isNull()) {
        QPainter painter(&image);
        painter.fillRect(square, qRgb(220, 220, 220));
    }
    return image;
}

struct TimedFrame
{
    QImage image;
    double time;
};

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
            onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        };
    }
};

QList<TimedFrame> walkingSquare()
{
    QList<TimedFrame> frames{{frame(), 1.0}, {frame(), 1.12}};
    for (int step = 1; step <= 6; ++step)
        frames.append({frame(QRect(40 * step, 60, 32, 32)), 1.12 + 0.12 * step});
    frames.append({frame(), 5.0}); // jump: rebuild
    frames.append({frame(QRect(300, 150, 40, 40)), 5.12});
    return frames;
}

// A decoded picture in `format`: grey, with a bright square (in pixels).
SharedFrame decodedPicture(QSize size, AVPixelFormat format, const QRect &square)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(qRgb(50, 50, 50));
    QPainter(&picture).fillRect(square, qRgb(220, 220, 220));
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

} // namespace

class TestMotionAnalyzer : public QObject
{
    Q_OBJECT

private slots:
    void deliversDetectorResultsOnGuiThread();
    void oneFrameInFlight();
    void resetTakesEffectAfterQueuedFrame();
    void acceptsFramesFromAnyThread();
    void destroyedWithFrameInFlight();
    void decodedPictures_data();
    void decodedPictures();
};

void TestMotionAnalyzer::decodedPictures_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::addColumn<QRect>("square");
    QTest::newRow("1080p, planar 4:2:0") << QSize(1920, 1080) << int(AV_PIX_FMT_YUV420P) << QRect(600, 300, 200, 200);
    QTest::newRow("4:3, NV12") << QSize(640, 480) << int(AV_PIX_FMT_NV12) << QRect(400, 40, 96, 96);
    QTest::newRow("flat strip") << QSize(1280, 100) << int(AV_PIX_FMT_YUV420P) << QRect(100, 20, 160, 60);
}

void TestMotionAnalyzer::decodedPictures()
{
    QFETCH(QSize, size);
    QFETCH(int, format);
    QFETCH(QRect, square);
    MotionAnalyzer analyzer;
    Receiver receiver;
    // Each picture twice: the same scaler serves a run of pictures of one size.
    const QList<SharedFrame> pictures{decodedPicture(size, AVPixelFormat(format), {}),
                                      decodedPicture(size, AVPixelFormat(format), {}),
                                      decodedPicture(size, AVPixelFormat(format), square)};
    for (int i = 0; i < pictures.size(); ++i) {
        QVERIFY(pictures[i]);
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

void TestMotionAnalyzer::deliversDetectorResultsOnGuiThread()
{
    MotionAnalyzer analyzer;
    MotionDetector reference;
    Receiver receiver;
    int expectedCalls = 0;
    for (const TimedFrame &f : walkingSquare()) {
        QVERIFY(analyzer.analyze(f.image, f.time, receiver.completion()));
        QCOMPARE(receiver.calls, expectedCalls); // never answered before returning
        ++expectedCalls;
        QTRY_COMPARE(receiver.calls, expectedCalls);
        QCOMPARE(receiver.boxes, reference.analyze(f.image, f.time));
    }
    QVERIFY(receiver.onGuiThread);
}

void TestMotionAnalyzer::oneFrameInFlight()
{
    MotionAnalyzer analyzer;
    MotionDetector reference;
    Receiver accepted;
    Receiver refused;
    for (const TimedFrame &f : walkingSquare()) {
        QVERIFY(analyzer.analyze(f.image, f.time, accepted.completion()));
        QVERIFY(analyzer.isBusy());
        // A frame at the same place offered while the first is out would differ from the reference
        // if the analyzer took it.
        QVERIFY(!analyzer.analyze(frame(QRect(0, 0, 200, 100)), f.time + 0.06, refused.completion()));
        QTRY_VERIFY(!analyzer.isBusy());
        QCOMPARE(accepted.boxes, reference.analyze(f.image, f.time));
    }
    QCOMPARE(accepted.calls, walkingSquare().size());
    QTest::qWait(50);
    QCOMPARE(refused.calls, 0);
}

void TestMotionAnalyzer::resetTakesEffectAfterQueuedFrame()
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

void TestMotionAnalyzer::acceptsFramesFromAnyThread()
{
    MotionAnalyzer analyzer;
    Receiver receiver;
    bool taken = false;
    std::unique_ptr<QThread> caller(QThread::create([&] {
        taken = analyzer.analyze(frame(), 0.5, receiver.completion());
    }));
    caller->start();
    QVERIFY(caller->wait(5000));
    QVERIFY(taken);
    QTRY_COMPARE(receiver.calls, 1);
    QVERIFY(receiver.onGuiThread);
}

void TestMotionAnalyzer::destroyedWithFrameInFlight()
{
    Receiver receiver;
    {
        MotionAnalyzer analyzer;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(analyzer.analyze(frame(), i * 0.12, receiver.completion()));
            QTRY_COMPARE(receiver.calls, i + 1);
        }
        QVERIFY(analyzer.analyze(frame(QRect(0, 0, 64, 64)), 0.36, receiver.completion()));
    }
    QTest::qWait(100);
    QCOMPARE(receiver.calls, 3);
}

QTEST_GUILESS_MAIN(TestMotionAnalyzer)
#include "tst_motionanalyzer.moc"
