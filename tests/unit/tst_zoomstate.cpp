#include "screens/ZoomState.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QSizeF container(400, 300);

void zoomTo(ZoomState &zoom, qreal magnification, QPointF at)
{
    zoom.pinchChanged(magnification, at);
    zoom.pinchEnded();
}
} // namespace

class TestZoomState : public QObject
{
    Q_OBJECT

private slots:
    void clampKeepsContentOverContainer_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<QPointF>("expected");

        QTest::newRow("rest scale pins to centre") << 1.0 << QPointF(50, -20) << QPointF(0, 0);
        QTest::newRow("inside the limit") << 2.0 << QPointF(150, -100) << QPointF(150, -100);
        QTest::newRow("x beyond") << 2.0 << QPointF(201, 0) << QPointF(200, 0);
        QTest::newRow("both beyond, negative") << 2.0 << QPointF(-900, -900) << QPointF(-200, -150);
        QTest::newRow("2.5x: 0.75 of the size") << 2.5 << QPointF(1e6, 1e6) << QPointF(300, 225);
        QTest::newRow("6x") << 6.0 << QPointF(-1e6, 1e6) << QPointF(-1000, 750);
    }
    void clampKeepsContentOverContainer()
    {
        QFETCH(qreal, scale);
        QFETCH(QPointF, offset);
        QFETCH(QPointF, expected);
        ZoomState zoom;
        zoom.setSize(container);
        QCOMPARE(zoom.clamped(offset, scale), expected);
    }

    void swipeNeedsMostlyHorizontalTravelOverSixtyPoints_data()
    {
        QTest::addColumn<QPointF>("translation");
        QTest::addColumn<int>("direction");

        QTest::newRow("61 left: next") << QPointF(-61, 0) << +1;
        QTest::newRow("61 right: previous") << QPointF(61, 0) << -1;
        QTest::newRow("59 left") << QPointF(-59, 0) << 0;
        QTest::newRow("exactly 60") << QPointF(-60, 0) << 0;
        QTest::newRow("mostly vertical") << QPointF(-80, 90) << 0;
        QTest::newRow("diagonal, equal") << QPointF(-80, 80) << 0;
        QTest::newRow("slanted but horizontal") << QPointF(100, -70) << -1;
    }
    void swipeNeedsMostlyHorizontalTravelOverSixtyPoints()
    {
        QFETCH(QPointF, translation);
        QFETCH(int, direction);
        ZoomState zoom;
        zoom.setSize(container);
        zoom.dragChanged(translation);
        QCOMPARE(zoom.dragEnded(translation), direction);
        QCOMPARE(zoom.offset(), QPointF());
    }

    void zoomedDragPansWithinLimitsAndNeverSwipes()
    {
        ZoomState zoom;
        zoom.setSize(container);
        zoom.doubleTapped(QPointF(200, 150));
        QCOMPARE(zoom.scale(), 2.5);
        QCOMPARE(zoom.offset(), QPointF());

        // The drag takes hold where it is first reported, so the content does not jump.
        zoom.dragChanged(QPointF(-20, 10));
        QCOMPARE(zoom.offset(), QPointF());
        zoom.dragChanged(QPointF(-120, 50));
        QCOMPARE(zoom.offset(), QPointF(-100, 40));
        zoom.dragChanged(QPointF(-2000, 2000));
        QCOMPARE(zoom.offset(), QPointF(-300, 225));
        QCOMPARE(zoom.dragEnded(QPointF(-2000, 2000)), 0);

        // The next drag continues from where this one left the content.
        zoom.dragChanged(QPointF(12, -12));
        zoom.dragChanged(QPointF(62, -37));
        QCOMPARE(zoom.offset(), QPointF(-250, 200));
        zoom.dragEnded(QPointF(62, -37));
    }

    void pinchKeepsItsStartPointUnderTheFingers()
    {
        ZoomState zoom;
        zoom.setSize(container);
        const QPointF at(300, 200); // (100, 50) from the centre
        zoom.pinchChanged(2.0, at);
        QCOMPARE(zoom.scale(), 2.0);
        // The content point under `at` stays there: offset = a - s * a / 1.
        QCOMPARE(zoom.offset(), QPointF(100 - 2 * 100, 50 - 2 * 50));
        zoom.pinchEnded();

        // A second pinch continues from the first one's scale and offset.
        zoom.pinchChanged(1.5, at);
        QCOMPARE(zoom.scale(), 3.0);
        // The content point first under the fingers, (100, 50), is still there: 3 * c + offset.
        QCOMPARE(zoom.offset(), QPointF(-200, -100));
    }

    void pinchScaleStaysBetweenOneAndSix_data()
    {
        QTest::addColumn<qreal>("magnification");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("shrink below rest") << 0.4 << 1.0;
        QTest::newRow("grow past the maximum") << 9.0 << 6.0;
        QTest::newRow("in range") << 3.5 << 3.5;
    }
    void pinchScaleStaysBetweenOneAndSix()
    {
        QFETCH(qreal, magnification);
        QFETCH(qreal, scale);
        ZoomState zoom;
        zoom.setSize(container);
        zoom.pinchChanged(magnification, QPointF(10, 10));
        QCOMPARE(zoom.scale(), scale);
    }

    void pinchEndingNearRestSnapsBackAnimated()
    {
        ZoomState zoom;
        zoom.setSize(container);
        zoomTo(zoom, 2.0, QPointF(50, 50));
        QVERIFY(zoom.offset() != QPointF());

        zoom.pinchChanged(0.505, QPointF(50, 50)); // 2.0 * 0.505 = 1.01
        QVERIFY(zoom.scale() > 1.0);
        zoom.pinchEnded();
        QCOMPARE(zoom.scale(), 1.0);
        QCOMPARE(zoom.offset(), QPointF());
        QCOMPARE(zoom.transition(), ZoomState::Transition::SnapBack);

        // At rest again, a drag swipes instead of panning.
        zoom.dragChanged(QPointF(-70, 0));
        QCOMPARE(zoom.dragEnded(QPointF(-70, 0)), +1);
    }

    void doubleTapZoomsAroundThePointThenResets_data()
    {
        QTest::addColumn<QPointF>("tap");
        QTest::addColumn<QPointF>("offset");
        // p = tap - centre; offset = clamp(p - 2.5 p) = clamp(-1.5 p), limit (300, 225).
        QTest::newRow("centre") << QPointF(200, 150) << QPointF(0, 0);
        QTest::newRow("right of centre") << QPointF(300, 150) << QPointF(-150, 0);
        QTest::newRow("top-left corner, clamped") << QPointF(0, 0) << QPointF(300, 225);
    }
    void doubleTapZoomsAroundThePointThenResets()
    {
        QFETCH(QPointF, tap);
        QFETCH(QPointF, offset);
        ZoomState zoom;
        zoom.setSize(container);
        zoom.doubleTapped(tap);
        QCOMPARE(zoom.scale(), 2.5);
        QCOMPARE(zoom.offset(), offset);
        QCOMPARE(zoom.transition(), ZoomState::Transition::ZoomToggle);

        zoom.doubleTapped(tap);
        QCOMPARE(zoom.scale(), 1.0);
        QCOMPARE(zoom.offset(), QPointF());
    }

    void shrinkingTheContainerReclampsTheOffset()
    {
        ZoomState zoom;
        zoom.setSize(container);
        zoom.doubleTapped(QPointF(0, 0));
        QCOMPARE(zoom.offset(), QPointF(300, 225));
        zoom.setSize(QSizeF(200, 100));
        QCOMPARE(zoom.offset(), QPointF(150, 75));
        zoom.dragChanged(QPointF(1, 1));
        QCOMPARE(zoom.offset(), QPointF(150, 75));
    }

    void continuousGesturesAreNotAnimated()
    {
        ZoomState zoom;
        zoom.setSize(container);
        zoom.doubleTapped(QPointF(100, 100));
        QSignalSpy transitions(&zoom, &ZoomState::transitionChanged);
        zoom.dragChanged(QPointF(20, 0));
        QCOMPARE(zoom.transition(), ZoomState::Transition::Immediate);
        QCOMPARE(transitions.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestZoomState)
#include "tst_zoomstate.moc"
