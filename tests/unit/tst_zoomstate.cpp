#include "screens/ZoomState.h"

#include <QtTest>

using Transition = ZoomState::Transition;

class TestZoomState : public QObject
{
    Q_OBJECT

private slots:
    // A gesture script on a 400 x 300 container, then where the content is. Steps, separated
    // by ";": pinch m x y (magnification, start point), end (of the pinch), drag dx dy,
    // release dx dy (drag end; its swipe is kept), tap x y (a double tap), size w h.
    void gestures_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<int>("swipe");
        QTest::addColumn<Transition>("transition");
        const Transition now = Transition::Immediate, toggle = Transition::ZoomToggle;

        QTest::newRow("61 left: next") << "drag -61 0; release -61 0" << 1.0 << QPointF() << +1 << now;
        QTest::newRow("exactly 60: none") << "drag -60 0; release -60 0" << 1.0 << QPointF() << 0 << now;
        QTest::newRow("diagonal: none") << "drag -80 80; release -80 80" << 1.0 << QPointF() << 0 << now;
        QTest::newRow("slanted but horizontal") << "release 100 -70" << 1.0 << QPointF() << -1 << now;

        // Zoomed, a drag takes hold where first reported (no jump), pans clamped, never swipes,
        // and the next drag goes on from where the last one left the content.
        const QString zoomed = QStringLiteral("tap 200 150; drag -20 10; drag -120 50");
        QTest::newRow("zoomed drag pans") << zoomed << 2.5 << QPointF(-100, 40) << 0 << now;
        QTest::newRow("zoomed drag stops at the edge")
            << zoomed + "; drag -2000 2000; release -2000 2000" << 2.5 << QPointF(-300, 225) << 0 << now;
        QTest::newRow("zoomed drag stops at the opposite edge")
            << zoomed + "; drag 2000 -2000" << 2.5 << QPointF(300, -225) << 0 << now;
        QTest::newRow("second drag goes on")
            << zoomed + "; release -120 50; drag 12 -12; drag 62 -37" << 2.5 << QPointF(-50, 15) << 0 << now;

        // The content point under the start point stays there: offset = a - s * anchor.
        QTest::newRow("pinch around its start") << "pinch 2 300 200" << 2.0 << QPointF(-100, -50) << 0 << now;
        QTest::newRow("second pinch goes on")
            << "pinch 2 300 200; end; pinch 1.5 300 200" << 3.0 << QPointF(-200, -100) << 0 << now;
        QTest::newRow("pinch floor 1") << "pinch 0.4 10 10" << 1.0 << QPointF() << 0 << now;
        QTest::newRow("pinch ceiling 6") << "pinch 9 10 10" << 6.0 << QPointF(950, 700) << 0 << now;
        QTest::newRow("pinch ending at 1.01 snaps back, then swipes")
            << "pinch 2 50 50; end; pinch 0.505 50 50; end; drag -70 0; release -70 0" << 1.0 << QPointF() << +1
            << Transition::SnapBack;
        QTest::newRow("pinch ending at 1.02 stays")
            << "pinch 2 50 50; end; pinch 0.51 50 50; end" << 1.02 << QPointF(3, 2) << 0 << now;

        // p = tap - centre; offset = clamp(p - 2.5 p), limit (300, 225).
        QTest::newRow("double tap right") << "tap 300 150" << 2.5 << QPointF(-150, 0) << 0 << toggle;
        QTest::newRow("double tap corner, clamped") << "tap 0 0" << 2.5 << QPointF(300, 225) << 0 << toggle;
        QTest::newRow("double tap again resets") << "tap 300 150; tap 300 150" << 1.0 << QPointF() << 0 << toggle;
        QTest::newRow("smaller container reclamps") << "tap 0 0; size 200 100" << 2.5 << QPointF(150, 75) << 0 << now;
    }
    void gestures()
    {
        QFETCH(QString, script);
        ZoomState zoom;
        zoom.setSize({400, 300});
        int swipe = 0;
        for (const QString &step : script.split(QLatin1Char(';'))) {
            const QStringList words = step.simplified().split(QLatin1Char(' '));
            const auto number = [&](int i) { return words.value(i).toDouble(); };
            const QPointF last(number(words.size() - 2), number(words.size() - 1));
            const QString verb = words.first();
            if (verb == "pinch")
                zoom.pinchChanged(number(1), last);
            else if (verb == "end")
                zoom.pinchEnded();
            else if (verb == "drag")
                zoom.dragChanged(last);
            else if (verb == "release")
                swipe = zoom.dragEnded(last);
            else if (verb == "tap")
                zoom.doubleTapped(last);
            else if (verb == "size")
                zoom.setSize({last.x(), last.y()});
            else
                QFAIL(qPrintable(verb));
        }
        QTEST(zoom.scale(), "scale");
        QTEST(zoom.offset(), "offset");
        QTEST(swipe, "swipe");
        QTEST(zoom.transition(), "transition");
    }
};

QTEST_GUILESS_MAIN(TestZoomState)
#include "tst_zoomstate.moc"
