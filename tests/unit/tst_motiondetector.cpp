#include "playback/MotionDetector.h"

#include <QtTest>
#include <functional>

namespace {

constexpr int columns = MotionDetector::targetWidth;

// An image whose every pixel is colour(x, y).
QImage paint(QSize size, QImage::Format format, const std::function<QRgb(int, int)> &colour)
{
    QImage image(size, format);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, colour(x, y));
    return image;
}

// A scene drawn on the analysed grid (96 columns): each analysed pixel becomes a scale × scale block
// of grey BGRA pixels, so all four samples of that pixel read the same value.
class Scene
{
public:
    explicit Scene(int rows = 54, uchar level = 50)
        : m_rows(rows)
        , m_grey(qsizetype(columns) * rows, level)
    { }

    Scene &fillPixels(const QRect &pixels, uchar level = 200)
    {
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                m_grey[qsizetype(y) * columns + x] = level;
        return *this;
    }
    Scene &fillCells(const QRect &cells, uchar level = 200)
    {
        const int c = MotionDetector::cell;
        return fillPixels(QRect(cells.x() * c, cells.y() * c, cells.width() * c, cells.height() * c), level);
    }
    QImage frame(int scale = 4) const
    {
        return paint(QSize(columns * scale, m_rows * scale), QImage::Format_RGB32, [&](int x, int y) {
            const uchar level = m_grey[qsizetype(y / scale) * columns + x / scale];
            return qRgb(level, level, level);
        });
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

} // namespace

class TestMotionDetector : public QObject
{
    Q_OBJECT

private slots:
    void readGrey_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QList<int>>("bgra");
        QTest::addColumn<int>("rows");
        QTest::addColumn<float>("level");
        QTest::newRow("4:3") << QSize(640, 480) << QList<int>{9, 9, 9, 255} << 72 << 9.0f;
        QTest::newRow("too flat, raised to 16") << QSize(1280, 100) << QList<int>{9, 9, 9, 255} << 16 << 9.0f;
        QTest::newRow("half rounds up") << QSize(192, 33) << QList<int>{9, 9, 9, 255} << 17 << 9.0f;
        QTest::newRow("one pixel") << QSize(1, 1) << QList<int>{9, 9, 9, 255} << 96 << 9.0f;
        QTest::newRow("fraction dropped") << QSize(320, 180) << QList<int>{10, 20, 33, 255} << 54 << 20.0f; // 83 / 4
        QTest::newRow("alpha ignored") << QSize(320, 180) << QList<int>{40, 40, 40, 0} << 54 << 40.0f;
    }
    void readGrey()
    {
        QFETCH(QSize, frame);
        QFETCH(QList<int>, bgra);
        QFETCH(int, rows);
        QFETCH(float, level);
        const QRgb colour = qRgba(bgra[2], bgra[1], bgra[0], bgra[3]);
        const auto grey =
            MotionDetector::readGrey(paint(frame, QImage::Format_ARGB32, [colour](int, int) { return colour; }));
        QVERIFY(grey);
        QCOMPARE(QSize(grey->width, grey->height), QSize(96, rows));
        QCOMPARE(grey->values, QList<float>(96 * rows, level));
    }

    void samplePositions_data()
    {
        // The mean of the two sampled source columns (rows) of the ramp, worked out by hand from the
        // quarter and three-quarter offsets.
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<float>("columnLevel");
        QTest::addColumn<float>("rowLevel");
        QTest::newRow("1080p last") << QSize(1920, 1080) << QPoint(95, 53) << 118.0f
                                    << 46.0f; // 1905, 1915 / 1065, 1075
        QTest::newRow("flat last row") << QSize(1280, 100) << QPoint(10, 15) << 139.5f << 96.5f; // 136, 143 / 95, 98
        QTest::newRow("odd size") << QSize(100, 75) << QPoint(95, 71) << 99.0f << 74.0f; // 99, 99 / 74, 74
        QTest::newRow("rounded rows") << QSize(192, 33) << QPoint(0, 16) << 0.5f << 31.5f; // 0, 1 / 31, 32
    }
    void samplePositions()
    {
        QFETCH(QSize, frame);
        QFETCH(QPoint, at);
        QFETCH(float, columnLevel);
        QFETCH(float, rowLevel);
        // Ramps: the grey level is the pixel's column (row), modulo 256.
        const auto ramp = [](int position) { return qRgb(position % 256, position % 256, position % 256); };
        const auto across =
            MotionDetector::readGrey(paint(frame, QImage::Format_RGB32, [&](int x, int) { return ramp(x); }));
        const auto down =
            MotionDetector::readGrey(paint(frame, QImage::Format_RGB32, [&](int, int y) { return ramp(y); }));
        QVERIFY(across && down);
        QCOMPARE(across->values[at.y() * 96 + at.x()], columnLevel);
        QCOMPARE(down->values[at.y() * 96 + at.x()], rowLevel);
    }

    void otherFormatsReadNothing_data()
    {
        QTest::addColumn<QImage>("foreign");
        QTest::newRow("RGBA byte order") << Scene().frame().convertToFormat(QImage::Format_RGBA8888);
        QTest::newRow("no memory") << QImage();
    }
    void otherFormatsReadNothing()
    {
        QFETCH(QImage, foreign);
        QVERIFY(!MotionDetector::readGrey(foreign));
        MotionDetector detector;
        QVERIFY(detector.analyze(Scene().frame(), 10.0).isEmpty());
        const QList<float> background = detector.background();
        QVERIFY(detector.analyze(foreign, 10.12).isEmpty());
        QCOMPARE(detector.background(), background);
        // Still compared against the first frame, within 1.5 s of it.
        QCOMPARE(detector.analyze(Scene().fillCells(QRect(3, 3, 2, 2)).frame(), 11.4),
                 QList<QRectF>{cellBox(QRect(3, 3, 2, 2))});
    }

    void rebuildingTheBackground_data()
    {
        QTest::addColumn<double>("gap");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("compared");
        QTest::newRow("same time") << 0.0 << false << true;
        QTest::newRow("exactly 1.5 s forward") << 1.5 << false << true;
        QTest::newRow("just over 1.5 s forward") << 1.51 << false << false;
        QTest::newRow("backwards") << -0.01 << false << false;
        QTest::newRow("reset") << 0.12 << true << false;
    }
    void rebuildingTheBackground()
    {
        QFETCH(double, gap);
        QFETCH(bool, reset);
        QFETCH(bool, compared);
        const Scene still;
        const Scene moved = Scene().fillCells(QRect(10, 4, 3, 2));
        const QList<QRectF> movement{cellBox(QRect(10, 4, 3, 2))};
        MotionDetector detector;
        QVERIFY(detector.analyze(still.frame(), 100.0).isEmpty());
        QVERIFY(detector.analyze(still.frame(), 100.5).isEmpty());
        if (reset)
            detector.reset();
        const double t = 100.5 + gap; // times exactly representable, so 1.5 s is exactly 1.5 s
        QCOMPARE(detector.analyze(moved.frame(), t), compared ? movement : QList<QRectF>{});
        if (compared)
            return;
        // The background was replaced by the moved scene: it is now the still scene that differs.
        QVERIFY(detector.analyze(moved.frame(), t + 0.12).isEmpty());
        QCOMPARE(detector.analyze(still.frame(), t + 0.24), movement);
    }

    void frameSizeChangeRebuilds()
    {
        MotionDetector detector;
        QVERIFY(detector.analyze(Scene(54).frame(), 1.0).isEmpty());
        QVERIFY(detector.analyze(Scene(72).fillCells(QRect(1, 1, 2, 2)).frame(), 1.12).isEmpty());
        QCOMPARE(detector.analyze(Scene(72).frame(), 1.24), QList<QRectF>{cellBox(QRect(1, 1, 2, 2), 72)});
    }

    void sceneChange_data()
    {
        // 96 × 54 = 5184 analysed pixels; 45 % of them is 2332 (integer division).
        QTest::addColumn<int>("changedPixels");
        QTest::addColumn<bool>("boxes");
        QTest::newRow("up to 45 %") << 2332 << true;
        QTest::newRow("over 45 %") << 2333 << false;
    }
    void sceneChange()
    {
        QFETCH(int, changedPixels);
        QFETCH(bool, boxes);
        Scene changed;
        changed.fillPixels(QRect(0, 0, 96, changedPixels / 96))
            .fillPixels(QRect(0, changedPixels / 96, changedPixels % 96, 1));
        MotionDetector detector;
        detector.analyze(Scene().frame(), 0);
        QCOMPARE(!detector.analyze(changed.frame(), 0.12).isEmpty(), boxes);
    }

    void brightenedSceneStillLearns()
    {
        MotionDetector detector;
        detector.analyze(Scene(54, 50).frame(), 0);
        QVERIFY(detector.analyze(Scene(54, 80).frame(), 0.12).isEmpty());
        QCOMPARE(detector.background(), QList<float>(96 * 54, 52.4f));
    }

    void cellsAndGrouping_data()
    {
        QTest::addColumn<QList<QRect>>("changedCells");
        QTest::addColumn<QList<QPoint>>("changedPixels");
        QTest::addColumn<QList<QRect>>("expected"); // in cells
        using Cells = QList<QRect>;
        using Pixels = QList<QPoint>;
        QTest::newRow("one cell alone") << Cells{{5, 5, 1, 1}} << Pixels{} << Cells{};
        QTest::newRow("grid corner") << Cells{{22, 12, 2, 1}} << Pixels{} << Cells{{22, 12, 2, 1}};
        QTest::newRow("three changed pixels keep a cell quiet")
            << Cells{{5, 5, 1, 1}} << Pixels{{24, 20}, {25, 21}, {27, 23}} << Cells{};
        QTest::newRow("four changed pixels make a cell active")
            << Cells{{5, 5, 1, 1}} << Pixels{{24, 20}, {25, 21}, {27, 23}, {26, 22}} << Cells{{5, 5, 2, 1}};
        QTest::newRow("one quiet cell is bridged")
            << Cells{{5, 5, 1, 1}, {7, 5, 1, 1}} << Pixels{} << Cells{{5, 5, 3, 1}};
        QTest::newRow("diagonal gap is bridged")
            << Cells{{5, 5, 1, 1}, {7, 7, 1, 1}} << Pixels{} << Cells{{5, 5, 3, 3}};
        QTest::newRow("two quiet cells split")
            << Cells{{2, 2, 2, 1}, {6, 2, 2, 1}} << Pixels{} << Cells{{2, 2, 2, 1}, {6, 2, 2, 1}};
        QTest::newRow("listed by first cell, row-major")
            << Cells{{20, 1, 2, 1}, {0, 3, 1, 2}, {10, 0, 1, 2}} << Pixels{}
            << Cells{{10, 0, 1, 2}, {20, 1, 2, 1}, {0, 3, 1, 2}};
        QTest::newRow("region met late joins the first")
            << Cells{{8, 0, 1, 1}, {0, 4, 7, 1}, {6, 2, 1, 1}} << Pixels{} << Cells{{0, 0, 9, 5}};
        Pixels bottomRows;
        for (int x = 0; x < 96; ++x)
            bottomRows << QPoint(x, 52) << QPoint(x, 53);
        QTest::newRow("rows below the last cell are ignored") << Cells{} << bottomRows << Cells{};
    }
    void cellsAndGrouping()
    {
        QFETCH(QList<QRect>, changedCells);
        QFETCH(QList<QPoint>, changedPixels);
        QFETCH(QList<QRect>, expected);
        Scene changed;
        for (const QRect &cells : changedCells)
            changed.fillCells(cells);
        for (const QPoint &pixel : changedPixels)
            changed.fillPixels(QRect(pixel, QSize(1, 1)));
        QList<QRectF> boxes;
        for (const QRect &cells : expected)
            boxes.append(cellBox(cells));
        MotionDetector detector;
        detector.analyze(Scene().frame(), 5.0);
        QCOMPARE(detector.analyze(Scene().frame(), 5.12), QList<QRectF>{});
        QCOMPARE(detector.analyze(changed.frame(), 5.24), boxes);
    }

    void stillObjectIsLearned_data()
    {
        // The background closes 8 % of the gap per frame: a contrast c is seen while c · 0.92ⁿ > 22.
        QTest::addColumn<int>("contrast");
        QTest::addColumn<int>("framesSeen");
        QTest::newRow("at the threshold") << 22 << 0;
        QTest::newRow("just over") << 23 << 1;
        QTest::newRow("bright") << 150 << 24;
    }
    void stillObjectIsLearned()
    {
        QFETCH(int, contrast);
        QFETCH(int, framesSeen);
        const Scene withObject = Scene().fillCells(QRect(4, 4, 3, 3), uchar(50 + contrast));
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
};

QTEST_GUILESS_MAIN(TestMotionDetector)
#include "tst_motiondetector.moc"
