#include "playback/MotionDetector.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

constexpr int columns = MotionDetector::targetWidth;

// A scene drawn on the analysed grid (96 columns): each analysed pixel becomes a scale × scale block
// of grey BGRA pixels, so all four samples of that pixel read the same value.
class Scene
{
public:
    explicit Scene(int rows = 54, uchar level = 50)
        : m_rows(rows)
        , m_grey(qsizetype(columns) * rows, level)
    {
    }

    void fillPixels(const QRect &pixels, uchar level)
    {
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                m_grey[qsizetype(y) * columns + x] = level;
    }
    void fillCells(const QRect &cells, uchar level)
    {
        const int c = MotionDetector::cell;
        fillPixels(QRect(cells.x() * c, cells.y() * c, cells.width() * c, cells.height() * c), level);
    }
    void addNoise(int amplitude, QRandomGenerator &random)
    {
        for (uchar &value : m_grey)
            value = uchar(std::clamp(int(value) + random.bounded(-amplitude, amplitude + 1), 0, 255));
    }

    QImage frame(int scale = 4) const
    {
        QImage image(columns * scale, m_rows * scale, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                const uchar level = m_grey[qsizetype(y / scale) * columns + x / scale];
                line[4 * x] = line[4 * x + 1] = line[4 * x + 2] = level;
                line[4 * x + 3] = 255;
            }
        }
        return image;
    }

private:
    int m_rows;
    QList<uchar> m_grey;
};

// A box in cell units on a grid of 96 × rows analysed pixels, normalised as the detector reports it.
QRectF cellBox(const QRect &cells, int rows = 54)
{
    const double c = MotionDetector::cell;
    return QRectF(cells.x() * c / columns, cells.y() * c / rows, cells.width() * c / columns,
                  cells.height() * c / rows);
}

QImage uniformFrame(QSize size, uchar b, uchar g, uchar r, uchar a = 255,
                    QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(size, format);
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            line[4 * x] = b;
            line[4 * x + 1] = g;
            line[4 * x + 2] = r;
            line[4 * x + 3] = a;
        }
    }
    return image;
}

// Grey level equal to the pixel's column (or row), modulo 256.
QImage rampFrame(QSize size, Qt::Orientation along)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const uchar level = uchar((along == Qt::Horizontal ? x : y) % 256);
            line[4 * x] = line[4 * x + 1] = line[4 * x + 2] = level;
        }
    }
    return image;
}

} // namespace

class TestMotionDetector : public QObject
{
    Q_OBJECT

private slots:
    void analysedSize_data();
    void analysedSize();
    void samplePositions_data();
    void samplePositions();
    void greyLevel_data();
    void greyLevel();
    void quarterSteps();
    void otherFormatsReadNothing_data();
    void otherFormatsReadNothing();
    void timeGaps_data();
    void timeGaps();
    void frameSizeChangeRebuilds();
    void sceneChange_data();
    void sceneChange();
    void brightenedSceneStillLearns();
    void cellsAndGrouping_data();
    void cellsAndGrouping();
    void movingRectangleAtFullHd();
    void noiseBelowThreshold_data();
    void noiseBelowThreshold();
    void stillObjectIsLearned_data();
    void stillObjectIsLearned();
    void resetRebuildsAndKeepsSize();
};

void TestMotionDetector::analysedSize_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("rows");
    QTest::newRow("1080p") << QSize(1920, 1080) << 54;
    QTest::newRow("720p") << QSize(1280, 720) << 54;
    QTest::newRow("4:3") << QSize(640, 480) << 72;
    QTest::newRow("too flat, raised to 16") << QSize(1280, 100) << 16;
    QTest::newRow("half rounds up") << QSize(192, 33) << 17;
    QTest::newRow("portrait") << QSize(1080, 1920) << 171;
    QTest::newRow("smaller than the grid") << QSize(4, 4) << 96;
    QTest::newRow("one pixel") << QSize(1, 1) << 96;
    QTest::newRow("one row") << QSize(4000, 1) << 16;
}

void TestMotionDetector::analysedSize()
{
    QFETCH(QSize, frame);
    QFETCH(int, rows);
    const auto grey = MotionDetector::readGrey(uniformFrame(frame, 9, 9, 9));
    QVERIFY(grey);
    QCOMPARE(grey->width, 96);
    QCOMPARE(grey->height, rows);
    QCOMPARE(grey->values.size(), 96 * rows);
    QVERIFY(std::all_of(grey->values.cbegin(), grey->values.cend(), [](float v) { return v == 9.0f; }));
}

void TestMotionDetector::samplePositions_data()
{
    // Expected values are the mean of the two sampled source columns (rows) of the ramp, worked out
    // by hand from the quarter and three-quarter offsets.
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("column");
    QTest::addColumn<float>("columnLevel");
    QTest::addColumn<int>("row");
    QTest::addColumn<float>("rowLevel");
    QTest::newRow("1080p first") << QSize(1920, 1080) << 0 << 10.0f << 0 << 10.0f;          // 5, 15
    QTest::newRow("1080p last") << QSize(1920, 1080) << 95 << 118.0f << 53 << 46.0f;       // 1905, 1915 / 1065, 1075
    QTest::newRow("720p") << QSize(1280, 720) << 1 << 19.5f << 1 << 19.5f;                 // 16, 23
    QTest::newRow("flat last row") << QSize(1280, 100) << 10 << 139.5f << 15 << 96.5f;     // 136, 143 / 95, 98
    QTest::newRow("4:3") << QSize(640, 480) << 4 << 29.5f << 4 << 29.5f;                   // 28, 31
    QTest::newRow("odd size") << QSize(100, 75) << 95 << 99.0f << 71 << 74.0f;             // 99, 99 / 74, 74
    QTest::newRow("rounded rows") << QSize(192, 33) << 0 << 0.5f << 16 << 31.5f;           // 0, 1 / 31, 32
}

void TestMotionDetector::samplePositions()
{
    QFETCH(QSize, frame);
    QFETCH(int, column);
    QFETCH(float, columnLevel);
    QFETCH(int, row);
    QFETCH(float, rowLevel);
    const auto across = MotionDetector::readGrey(rampFrame(frame, Qt::Horizontal));
    const auto down = MotionDetector::readGrey(rampFrame(frame, Qt::Vertical));
    QVERIFY(across && down);
    QCOMPARE(across->values[row * 96 + column], columnLevel);
    QCOMPARE(down->values[row * 96 + column], rowLevel);
}

void TestMotionDetector::greyLevel_data()
{
    QTest::addColumn<QList<int>>("bgra");
    QTest::addColumn<float>("level");
    QTest::newRow("black") << QList<int>{0, 0, 0, 255} << 0.0f;
    QTest::newRow("white") << QList<int>{255, 255, 255, 255} << 255.0f;
    QTest::newRow("blue counts once") << QList<int>{255, 0, 0, 255} << 63.0f;
    QTest::newRow("green counts twice") << QList<int>{0, 255, 0, 255} << 127.0f;
    QTest::newRow("red counts once") << QList<int>{0, 0, 255, 255} << 63.0f;
    QTest::newRow("fraction dropped") << QList<int>{10, 20, 31, 255} << 20.0f;
    QTest::newRow("alpha ignored") << QList<int>{40, 40, 40, 0} << 40.0f;
}

void TestMotionDetector::greyLevel()
{
    QFETCH(QList<int>, bgra);
    QFETCH(float, level);
    const QImage frame = uniformFrame(QSize(320, 180), uchar(bgra[0]), uchar(bgra[1]), uchar(bgra[2]),
                                      uchar(bgra[3]));
    const auto grey = MotionDetector::readGrey(frame);
    QVERIFY(grey);
    QCOMPARE(grey->values.first(), level);
    QCOMPARE(grey->values.last(), level);
}

void TestMotionDetector::quarterSteps()
{
    // 384 × 216: analysed pixel (0, 0) samples source pixels (1, 1), (3, 1), (1, 3), (3, 3).
    QImage frame = uniformFrame(QSize(384, 216), 0, 0, 0);
    frame.setPixel(1, 1, qRgb(255, 255, 255));
    frame.setPixel(2, 2, qRgb(255, 255, 255)); // between the samples: never read
    auto grey = MotionDetector::readGrey(frame);
    QVERIFY(grey);
    QCOMPARE(grey->values[0], 63.75f);
    frame.setPixel(3, 3, qRgb(255, 255, 255));
    grey = MotionDetector::readGrey(frame);
    QCOMPARE(grey->values[0], 127.5f);
    QCOMPARE(grey->values[1], 0.0f);
    QCOMPARE(grey->values[96], 0.0f);
}

void TestMotionDetector::otherFormatsReadNothing_data()
{
    QTest::addColumn<QImage>("foreign");
    QImage planarLuma(384, 216, QImage::Format_Grayscale8);
    planarLuma.fill(200);
    QImage rgba(384, 216, QImage::Format_RGBA8888);
    rgba.fill(Qt::white);
    QImage rgb24(384, 216, QImage::Format_RGB888);
    rgb24.fill(Qt::white);
    QImage rgb16(384, 216, QImage::Format_RGB16);
    rgb16.fill(Qt::white);
    QTest::newRow("8-bit luma plane") << planarLuma;
    QTest::newRow("RGBA byte order") << rgba;
    QTest::newRow("24-bit") << rgb24;
    QTest::newRow("16-bit") << rgb16;
    QTest::newRow("no memory") << QImage();
}

void TestMotionDetector::otherFormatsReadNothing()
{
    QFETCH(QImage, foreign);
    QVERIFY(!MotionDetector::readGrey(foreign));

    Scene moved;
    moved.fillCells(QRect(3, 3, 2, 2), 200);
    MotionDetector detector;
    QVERIFY(detector.analyze(Scene().frame(), 10.0).isEmpty());
    const QList<float> background = detector.background();

    QVERIFY(detector.analyze(foreign, 10.12).isEmpty());
    QCOMPARE(detector.background(), background);
    QCOMPARE(detector.lastTime(), 10.0);

    // Still compared against the first frame, within 1.5 s of it.
    QCOMPARE(detector.analyze(moved.frame(), 11.4), QList<QRectF>{cellBox(QRect(3, 3, 2, 2))});
}

void TestMotionDetector::timeGaps_data()
{
    QTest::addColumn<double>("gap");
    QTest::addColumn<bool>("compared");
    QTest::newRow("next frame") << 0.12 << true;
    QTest::newRow("same time") << 0.0 << true;
    QTest::newRow("exactly 1.5 s forward") << 1.5 << true;
    QTest::newRow("just over 1.5 s forward") << 1.51 << false;
    QTest::newRow("2 s forward") << 2.0 << false;
    QTest::newRow("backwards") << -0.01 << false;
}

void TestMotionDetector::timeGaps()
{
    QFETCH(double, gap);
    QFETCH(bool, compared);
    Scene still;
    Scene moved;
    moved.fillCells(QRect(10, 4, 3, 2), 200);
    const QList<QRectF> movement{cellBox(QRect(10, 4, 3, 2))};

    MotionDetector detector;
    QVERIFY(detector.analyze(still.frame(), 100.0).isEmpty());
    QVERIFY(detector.analyze(still.frame(), 100.5).isEmpty());
    const double t = 100.5 + gap; // times exactly representable, so 1.5 s is exactly 1.5 s
    QCOMPARE(detector.analyze(moved.frame(), t), compared ? movement : QList<QRectF>{});
    if (compared)
        return;
    // The background was replaced by the moved scene: it is now the still scene that differs.
    QVERIFY(detector.analyze(moved.frame(), t + 0.12).isEmpty());
    QCOMPARE(detector.analyze(still.frame(), t + 0.24), movement);
}

void TestMotionDetector::frameSizeChangeRebuilds()
{
    MotionDetector detector;
    QVERIFY(detector.analyze(Scene(54).frame(), 1.0).isEmpty());
    Scene taller(72);
    taller.fillCells(QRect(1, 1, 2, 2), 220);
    QVERIFY(detector.analyze(taller.frame(), 1.12).isEmpty());
    QCOMPARE(detector.height(), 72);
    QCOMPARE(detector.analyze(Scene(72).frame(), 1.24), QList<QRectF>{cellBox(QRect(1, 1, 2, 2), 72)});
}

void TestMotionDetector::sceneChange_data()
{
    // 96 × 54 = 5184 analysed pixels; 45 % of them is 2332 (integer division).
    QTest::addColumn<int>("changedPixels");
    QTest::addColumn<bool>("boxes");
    QTest::newRow("up to 45 %") << 2332 << true;
    QTest::newRow("over 45 %") << 2333 << false;
    QTest::newRow("whole frame") << 5184 << false;
}

void TestMotionDetector::sceneChange()
{
    QFETCH(int, changedPixels);
    QFETCH(bool, boxes);
    Scene changed;
    changed.fillPixels(QRect(0, 0, 96, changedPixels / 96), 200);
    changed.fillPixels(QRect(0, changedPixels / 96, changedPixels % 96, 1), 200);
    MotionDetector detector;
    detector.analyze(Scene().frame(), 0);
    QCOMPARE(!detector.analyze(changed.frame(), 0.12).isEmpty(), boxes);
}

void TestMotionDetector::brightenedSceneStillLearns()
{
    MotionDetector detector;
    detector.analyze(Scene(54, 50).frame(), 0);
    QVERIFY(detector.analyze(Scene(54, 80).frame(), 0.12).isEmpty());
    for (float level : detector.background())
        QCOMPARE(level, 52.4f);
}

void TestMotionDetector::cellsAndGrouping_data()
{
    QTest::addColumn<QList<QRect>>("changedCells");
    QTest::addColumn<QList<QPoint>>("changedPixels");
    QTest::addColumn<QList<QRect>>("expected"); // in cells

    QTest::newRow("nothing changed") << QList<QRect>{} << QList<QPoint>{} << QList<QRect>{};
    QTest::newRow("one cell alone") << QList<QRect>{{5, 5, 1, 1}} << QList<QPoint>{} << QList<QRect>{};
    QTest::newRow("two neighbours") << QList<QRect>{{5, 5, 2, 1}} << QList<QPoint>{}
                                    << QList<QRect>{{5, 5, 2, 1}};
    QTest::newRow("three changed pixels keep a cell quiet")
        << QList<QRect>{{5, 5, 1, 1}} << QList<QPoint>{{24, 20}, {25, 21}, {27, 23}} << QList<QRect>{};
    QTest::newRow("four changed pixels make a cell active")
        << QList<QRect>{{5, 5, 1, 1}} << QList<QPoint>{{24, 20}, {25, 21}, {27, 23}, {26, 22}}
        << QList<QRect>{{5, 5, 2, 1}};
    QTest::newRow("one quiet cell is bridged")
        << QList<QRect>{{5, 5, 1, 1}, {7, 5, 1, 1}} << QList<QPoint>{} << QList<QRect>{{5, 5, 3, 1}};
    QTest::newRow("diagonal gap is bridged")
        << QList<QRect>{{5, 5, 1, 1}, {7, 7, 1, 1}} << QList<QPoint>{} << QList<QRect>{{5, 5, 3, 3}};
    QTest::newRow("two quiet cells split")
        << QList<QRect>{{2, 2, 2, 1}, {6, 2, 2, 1}} << QList<QPoint>{}
        << QList<QRect>{{2, 2, 2, 1}, {6, 2, 2, 1}};
    QTest::newRow("chain of bridges") << QList<QRect>{{0, 0, 1, 1}, {2, 0, 1, 1}, {4, 0, 1, 1}, {6, 0, 1, 1}}
                                      << QList<QPoint>{} << QList<QRect>{{0, 0, 7, 1}};
    QTest::newRow("bounds widen both ways")
        << QList<QRect>{{3, 3, 1, 1}, {3, 5, 1, 1}, {5, 5, 1, 1}, {1, 7, 1, 1}} << QList<QPoint>{}
        << QList<QRect>{{1, 3, 5, 5}};
    QTest::newRow("listed by first cell, row-major")
        << QList<QRect>{{20, 1, 2, 1}, {0, 3, 1, 2}, {10, 0, 1, 2}} << QList<QPoint>{}
        << QList<QRect>{{10, 0, 1, 2}, {20, 1, 2, 1}, {0, 3, 1, 2}};
    QTest::newRow("region met late joins the first") << QList<QRect>{{8, 0, 1, 1}, {0, 4, 7, 1}, {6, 2, 1, 1}}
                                                     << QList<QPoint>{} << QList<QRect>{{0, 0, 9, 5}};
    QTest::newRow("grid corner") << QList<QRect>{{22, 12, 2, 1}} << QList<QPoint>{}
                                 << QList<QRect>{{22, 12, 2, 1}};
    QTest::newRow("rows below the last cell are ignored")
        << QList<QRect>{} << [] {
               QList<QPoint> points;
               for (int x = 0; x < 96; ++x)
                   points << QPoint(x, 52) << QPoint(x, 53);
               return points;
           }() << QList<QRect>{};
}

void TestMotionDetector::cellsAndGrouping()
{
    QFETCH(QList<QRect>, changedCells);
    QFETCH(QList<QPoint>, changedPixels);
    QFETCH(QList<QRect>, expected);
    Scene changed;
    for (const QRect &cells : changedCells)
        changed.fillCells(cells, 200);
    for (const QPoint &pixel : changedPixels)
        changed.fillPixels(QRect(pixel, QSize(1, 1)), 200);
    QList<QRectF> boxes;
    for (const QRect &cells : expected)
        boxes.append(cellBox(cells));

    MotionDetector detector;
    detector.analyze(Scene().frame(), 5.0);
    QCOMPARE(detector.analyze(Scene().frame(), 5.12), QList<QRectF>{});
    QCOMPARE(detector.analyze(changed.frame(), 5.24), boxes);
}

void TestMotionDetector::movingRectangleAtFullHd()
{
    // A 2 × 2-cell bright square crossing a 1920 × 1080 frame, two cells per frame: the box follows it
    // and leaves no trail, since each place is lit only once.
    MotionDetector detector;
    QVERIFY(detector.analyze(Scene().frame(20), 0).isEmpty());
    for (int step = 1; step <= 8; ++step) {
        const QRect square(2 * step, 6, 2, 2);
        Scene scene;
        scene.fillCells(square, 230);
        const QImage frame = scene.frame(20);
        QCOMPARE(frame.size(), QSize(1920, 1080));
        QCOMPARE(detector.analyze(frame, 0.12 * step), QList<QRectF>{cellBox(square)});
    }
}

void TestMotionDetector::noiseBelowThreshold_data()
{
    QTest::addColumn<int>("amplitude");
    QTest::newRow("±5") << 5;
    QTest::newRow("±10") << 10;
}

void TestMotionDetector::noiseBelowThreshold()
{
    // Two values within ±amplitude of the same level never differ by more than the threshold.
    QFETCH(int, amplitude);
    QRandomGenerator random(7);
    MotionDetector detector;
    for (int i = 0; i < 20; ++i) {
        Scene noisy(54, 100);
        noisy.addNoise(amplitude, random);
        QCOMPARE(detector.analyze(noisy.frame(), 0.12 * i), QList<QRectF>{});
    }
    Scene noisyWithObject(54, 100);
    noisyWithObject.fillCells(QRect(12, 2, 4, 3), 180);
    noisyWithObject.addNoise(amplitude, random);
    QCOMPARE(detector.analyze(noisyWithObject.frame(), 2.4), QList<QRectF>{cellBox(QRect(12, 2, 4, 3))});
}

void TestMotionDetector::stillObjectIsLearned_data()
{
    // The background closes 8 % of the gap per frame: a contrast c is seen while c · 0.92ⁿ > 22.
    QTest::addColumn<int>("contrast");
    QTest::addColumn<int>("framesSeen");
    QTest::newRow("at the threshold") << 22 << 0;
    QTest::newRow("just over") << 23 << 1;
    QTest::newRow("faint") << 30 << 4;
    QTest::newRow("bright") << 150 << 24;
}

void TestMotionDetector::stillObjectIsLearned()
{
    QFETCH(int, contrast);
    QFETCH(int, framesSeen);
    Scene withObject;
    withObject.fillCells(QRect(4, 4, 3, 3), uchar(50 + contrast));
    MotionDetector detector;
    detector.analyze(Scene().frame(), 0);
    int seen = 0;
    for (int i = 1; i <= 40; ++i) {
        const QList<QRectF> boxes = detector.analyze(withObject.frame(), 0.12 * i);
        if (boxes.isEmpty())
            break;
        QCOMPARE(boxes, QList<QRectF>{cellBox(QRect(4, 4, 3, 3))});
        ++seen;
    }
    QCOMPARE(seen, framesSeen);
}

void TestMotionDetector::resetRebuildsAndKeepsSize()
{
    Scene moved;
    moved.fillCells(QRect(8, 8, 2, 2), 200);
    MotionDetector detector;
    detector.analyze(Scene().frame(), 3.0);
    detector.reset();
    QCOMPARE(detector.width(), 96);
    QCOMPARE(detector.height(), 54);
    QVERIFY(detector.background().isEmpty());
    QVERIFY(detector.analyze(moved.frame(), 3.12).isEmpty());
    QVERIFY(detector.analyze(moved.frame(), 3.24).isEmpty());
    QCOMPARE(detector.analyze(Scene().frame(), 3.36), QList<QRectF>{cellBox(QRect(8, 8, 2, 2))});
}

QTEST_GUILESS_MAIN(TestMotionDetector)
#include "tst_motiondetector.moc"
