#include "playback/ObjectBoxesOverlay.h"
#include "playback/OverlayGeometry.h"

#include <QPainter>
#include <QtTest>

using namespace OverlayGeometry;

using Names = QList<std::optional<QString>>;
using TrackBoxes = QList<TrackBox>;

Q_DECLARE_METATYPE(TrackBoxes)
Q_DECLARE_METATYPE(Names)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// Boxes whose centres sit on binary fractions, so equal distances are exactly equal.
const QRectF leftBox(0.125, 0.375, 0.25, 0.25); // centre (0.25, 0.5)
const QRectF rightBox(0.625, 0.375, 0.25, 0.25); // centre (0.75, 0.5)
const QRectF nearRight(0.5, 0.375, 0.25, 0.25); // centre (0.625, 0.5)
const QRectF middleTrack(0.25, 0.25, 0.5, 0.5); // centre (0.5, 0.5), overlaps all three

TrackedObject track(const QString &label, double start, double end, const QRectF &box)
{
    return TrackedObject{label, label, start, end, {{start, box}, {end, box}}};
}

QImage render(ObjectBoxesOverlay &overlay, QSize size)
{
    overlay.setSize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    overlay.paint(&painter);
    return image;
}

// Bounding rectangle of the pixels of one colour (or that pass a test).
QRect pixelsOf(const QImage &image, const std::function<bool(QColor)> &wanted)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (wanted(image.pixelColor(x, y)))
                found |= QRect(x, y, 1, 1);
    return found;
}
QRect pixelsOf(const QImage &image, QColor colour)
{
    return pixelsOf(image, [colour](QColor pixel) { return pixel == colour; });
}

} // namespace

class TestOverlayGeometry : public QObject
{
    Q_OBJECT
private slots:
    void naming_data()
    {
        QTest::addColumn<QList<QRectF>>("motion");
        QTest::addColumn<TrackBoxes>("tracks");
        QTest::addColumn<Names>("names");
        const TrackBox person{"person", middleTrack};
        const TrackBox car{"car", middleTrack};
        QTest::newRow("no motion") << QList<QRectF>{} << TrackBoxes{person} << Names{};
        QTest::newRow("overlap names the box") << QList<QRectF>{leftBox} << TrackBoxes{person} << Names{"person"};
        QTest::newRow("near centre without overlap") << QList<QRectF>{QRectF(0.1, 0.1, 0.1, 0.1)}
                                                     << TrackBoxes{{"dog", QRectF(0.3, 0.1, 0.1, 0.1)}} << Names{"dog"};
        QTest::newRow("apart and far") << QList<QRectF>{QRectF(0.1, 0.1, 0.1, 0.1)}
                                       << TrackBoxes{{"dog", QRectF(0.45, 0.1, 0.1, 0.1)}} << Names{std::nullopt};
        QTest::newRow("nearer centre wins")
            << QList<QRectF>{leftBox, nearRight} << TrackBoxes{person} << Names{std::nullopt, "person"};
        QTest::newRow("second track takes the other box")
            << QList<QRectF>{leftBox, nearRight} << TrackBoxes{person, car} << Names{"car", "person"};
        QTest::newRow("equal distances keep the earlier")
            << QList<QRectF>{leftBox, rightBox} << TrackBoxes{person} << Names{"person", std::nullopt};
        QTest::newRow("a named box is not claimed again")
            << QList<QRectF>{leftBox} << TrackBoxes{person, car} << Names{"person"};
        QTest::newRow("nearer box may lie outside the reach")
            << QList<QRectF>{QRectF(0, 0, 1, 1), QRectF(0.95, 0.95, 0.05, 0.05)}
            << TrackBoxes{{"cat", QRectF(0.7, 0.7, 0.1, 0.1)}} << Names{std::nullopt, "cat"};
    }

    void naming()
    {
        QFETCH(QList<QRectF>, motion);
        QFETCH(TrackBoxes, tracks);
        QFETCH(Names, names);
        QCOMPARE(nameBoxes(motion, tracks), names);
    }

    void namingAtTime_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<Names>("names");
        // The car lives 100...110, the person 105...120; both over the same single motion box.
        QTest::newRow("both: the earlier track wins") << 107.0 << Names{"car"};
        QTest::newRow("only the person") << 115.0 << Names{"person"};
        QTest::newRow("neither") << 130.0 << Names{std::nullopt};
    }

    void namingAtTime()
    {
        QFETCH(double, time);
        QFETCH(Names, names);
        const QList<TrackedObject> tracks{track("car", 100, 110, middleTrack), track("person", 105, 120, middleTrack)};
        QCOMPARE(nameMotionBoxes({leftBox}, tracks, time), names);
        QVERIFY(nameMotionBoxes({}, tracks, time).isEmpty());
    }

    void videoRect_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<double>("aspect");
        QTest::addColumn<QRectF>("video");
        const double wide = 16.0 / 9.0;
        QTest::newRow("16:9 in a square") << QSizeF(900, 900) << wide << QRectF(0, 196.875, 900, 506.25);
        QTest::newRow("4:3 in 16:9") << QSizeF(1280, 720) << 4.0 / 3.0 << QRectF(160, 0, 960, 720);
        QTest::newRow("portrait video") << QSizeF(800, 800) << 0.5 << QRectF(200, 0, 400, 800);
        QTest::newRow("zero width") << QSizeF(0, 500) << wide << QRectF();
        QTest::newRow("negative size") << QSizeF(-10, 500) << wide << QRectF();
        QTest::newRow("zero aspect") << QSizeF(500, 500) << 0.0 << QRectF();
    }

    void videoRect()
    {
        QFETCH(QSizeF, area);
        QFETCH(double, aspect);
        QFETCH(QRectF, video);
        const QRectF fitted = OverlayGeometry::videoRect(area, aspect);
        QCOMPARE(fitted, video);
        QCOMPARE(fitted.isEmpty(), video.isEmpty());
    }

    void colour_data()
    {
        QTest::addColumn<std::optional<QString>>("name");
        QTest::addColumn<QColor>("colour");
        const QColor red(255, 59, 48);
        const QColor yellow(255, 214, 10);
        const QColor green(60, 255, 140);
        const QColor orange(255, 159, 10);
        QTest::newRow("motion only") << std::optional<QString>() << red;
        QTest::newRow("person with suffix") << std::optional<QString>("person-verified") << red;
        QTest::newRow("vehicle with suffix") << std::optional<QString>("truck-2") << yellow;
        QTest::newRow("animal with suffix") << std::optional<QString>("cat-dog") << green;
        QTest::newRow("case matters") << std::optional<QString>("Car") << orange;
        QTest::newRow("empty before the dash") << std::optional<QString>("-car") << orange;
    }

    void colour()
    {
        QFETCH(std::optional<QString>, name);
        QFETCH(QColor, colour);
        QCOMPARE(boxColor(name), colour);
    }

    void tagPlacement_data()
    {
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<QRectF>("video");
        QTest::addColumn<QPointF>("centre");
        const QRectF letterboxed(0, 50, 800, 450);
        QTest::newRow("above the box") << QRectF(100, 200, 80, 60) << letterboxed << QPointF(130, 192);
        QTest::newRow("clamped to the video top") << QRectF(100, 52, 80, 60) << letterboxed << QPointF(130, 57);
        QTest::newRow("pillarboxed") << QRectF(300, 0, 50, 50) << QRectF(200, 0, 400, 400) << QPointF(330, 7);
    }

    void tagPlacement()
    {
        QFETCH(QRectF, box);
        QFETCH(QRectF, video);
        QFETCH(QPointF, centre);
        QCOMPARE(tagCentre(box, video), centre);
        const QRectF tag = tagRect(box, video, QSizeF(40, 13));
        QCOMPARE(tag.center(), centre);
        QCOMPARE(tag.size(), QSizeF(48, 15));
    }

    void overlayDrawsOutlinesAndTags()
    {
        // 400 × 400 area with 16:9 video: the video spans y 87.5 ... 312.5.
        ObjectBoxesOverlay overlay;
        overlay.setAspect(16.0 / 9.0);
        overlay.setTime(100);
        overlay.setTracks({track("car", 90, 110, QRectF(0.05, 0.0, 0.2, 0.2))});
        const QImage tracksOnly = render(overlay, QSize(400, 400)); // boxes come from motion only
        QCOMPARE(pixelsOf(tracksOnly, QColor(Qt::transparent)), tracksOnly.rect());
        overlay.setMotion({QRectF(0.5, 0.5, 0.25, 0.25), QRectF(0.1, 0.0, 0.2, 0.2)});
        const QImage image = render(overlay, QSize(400, 400));

        // Unnamed motion: a red outline around (200, 200.0, 100, 56.25), no tag.
        const QRect red = pixelsOf(image, QColor(255, 59, 48));
        QVERIFY2(qAbs(red.left() - 199) <= 1 && qAbs(red.right() - 300) <= 1, qPrintable(QDebug::toString(red)));
        QVERIFY2(qAbs(red.top() - 199) <= 1 && qAbs(red.bottom() - 256) <= 1, qPrintable(QDebug::toString(red)));
        QCOMPARE(image.pixelColor(250, 228), QColor(Qt::transparent));

        // The car's box at the top of the video: yellow outline, and a yellow tag with black text
        // centred 30 to the right of the box's left edge and pushed down to 7 below the video top.
        const QRect yellow = pixelsOf(image, QColor(255, 214, 10));
        QVERIFY(!yellow.isEmpty());
        QCOMPARE(image.pixelColor(40, 120), QColor(255, 214, 10)); // left edge of the outline
        const QRect tagArea(45, 89, 70, 12); // inside the outline, below its top edge
        const QRect tag = pixelsOf(image.copy(tagArea), QColor(255, 214, 10));
        QVERIFY2(qAbs(tag.translated(tagArea.topLeft()).center().x() - 70) <= 1, qPrintable(QDebug::toString(tag)));
        QVERIFY(
            !pixelsOf(image.copy(tagArea), [](QColor c) { return c.alpha() == 255 && c.lightness() < 60; }).isEmpty());
        QVERIFY(pixelsOf(image.copy(0, 0, 400, 87), QColor(255, 214, 10)).isEmpty());
    }
};

QTEST_MAIN(TestOverlayGeometry)
#include "tst_overlaygeometry.moc"
