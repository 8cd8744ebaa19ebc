#include "screens/WindowPlacement.h"
#include "state/SettingsPreferencesStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using Screens = QList<QRect>;
using Remembered = std::optional<QRect>;

Q_DECLARE_METATYPE(Remembered)

namespace {

const QRect fullHd(0, 0, 1920, 1080);
// 1400×900 pixels at 150 % scaling, as the application sees it.
const QRect smallLaptop(0, 0, 933, 600);
// A second monitor to the right of fullHd.
const QRect rightMonitor(1920, 0, 1280, 1024);

bool insideSomeScreen(const QRect &rect, const Screens &screens)
{
    return std::any_of(screens.begin(), screens.end(), [&rect](const QRect &screen) { return screen.contains(rect); });
}

} // namespace

class TestWindowPlacement : public QObject
{
    Q_OBJECT
private slots:
    void place_data()
    {
        QTest::addColumn<Remembered>("remembered");
        QTest::addColumn<Screens>("screens");
        QTest::addColumn<QRect>("expected");

        // Nothing remembered: 1180×800 centred on the first screen, shrunk to leave 24 on each side.
        QTest::newRow("first start, large screen") << Remembered{} << Screens{fullHd} << QRect(370, 140, 1180, 800);
        QTest::newRow("first start, small screen: width shrunk, height kept at the minimum")
            << Remembered{} << Screens{smallLaptop} << QRect(24, 20, 885, 560);
        QTest::newRow("first start, screen below the minimum") << Remembered{} << Screens{QRect(0, 0, 700, 500)}
                                                               << QRect(0, 0, 700, 500);
        QTest::newRow("first start, primary listed first") << Remembered{} << Screens{rightMonitor, fullHd}
                                                           << QRect(1920 + 50, 112, 1180, 800);
        QTest::newRow("first start, no screen") << Remembered{} << Screens{} << QRect(0, 0, 1180, 800);

        QTest::newRow("fits") << Remembered{QRect(100, 50, 1000, 700)} << Screens{fullHd} << QRect(100, 50, 1000, 700);
        QTest::newRow("fits the whole available area") << Remembered{QRect(0, 32, 1920, 1048)}
                                                       << Screens{QRect(0, 32, 1920, 1048)} << QRect(0, 32, 1920, 1048);
        QTest::newRow("fits on the second monitor") << Remembered{QRect(2000, 100, 1000, 700)}
                                                    << Screens{fullHd, rightMonitor} << QRect(2000, 100, 1000, 700);
        QTest::newRow("monitor gone: size kept, centred on the first")
            << Remembered{QRect(2000, 100, 1000, 700)} << Screens{fullHd} << QRect(460, 190, 1000, 700);
        QTest::newRow("off-screen above and left") << Remembered{QRect(-5000, -3000, 1000, 700)} << Screens{fullHd}
                                                   << QRect(460, 190, 1000, 700);
        QTest::newRow("too big: shrunk with the margin, centred")
            << Remembered{QRect(0, 0, 2400, 1300)} << Screens{QRect(0, 32, 1920, 1048)} << QRect(24, 56, 1872, 1000);
        QTest::newRow("too tall only: width and x kept")
            << Remembered{QRect(100, 40, 1000, 1200)} << Screens{fullHd} << QRect(100, 24, 1000, 1032);
        QTest::newRow("partly off: moved in no further than needed")
            << Remembered{QRect(-200, 900, 1000, 700)} << Screens{fullHd} << QRect(0, 380, 1000, 700);
        QTest::newRow("across two monitors: onto the one showing more")
            << Remembered{QRect(1800, 100, 1000, 700)} << Screens{fullHd, rightMonitor} << QRect(1920, 100, 1000, 700);
        QTest::newRow("tiny: grown to the minimum") << Remembered{QRect(300, 200, 400, 300)} << Screens{fullHd}
                                                    << QRect(300, 200, 800, 560);
        QTest::newRow("tiny in a corner: grown and kept inside") << Remembered{QRect(1700, 900, 400, 300)}
                                                                 << Screens{fullHd} << QRect(1120, 520, 800, 560);
        QTest::newRow("empty remembered size counts as none") << Remembered{QRect(300, 200, 0, 0)} << Screens{fullHd}
                                                              << QRect(370, 140, 1180, 800);
    }

    void place()
    {
        QFETCH(Remembered, remembered);
        QFETCH(Screens, screens);
        QFETCH(QRect, expected);

        const QRect placed = WindowPlacement::place(remembered, screens);
        QCOMPARE(placed, expected);
        if (!screens.isEmpty())
            QVERIFY2(insideSomeScreen(placed, screens), "the window must be wholly on one screen");
    }

    void minimumWithin_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<Screens>("screens");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("large screen") << QRect(0, 0, 900, 600) << Screens{fullHd} << QSize(800, 560);
        QTest::newRow("screen lower than the minimum") << QRect(0, 0, 900, 500) << Screens{QRect(0, 0, 1024, 500)}
                                                       << QSize(800, 500);
        QTest::newRow("on the smaller of two screens")
            << QRect(3000, 0, 600, 400) << Screens{fullHd, QRect(2900, 0, 640, 400)} << QSize(640, 400);
    }

    void minimumWithin()
    {
        QFETCH(QRect, geometry);
        QFETCH(Screens, screens);
        QFETCH(QSize, expected);
        QCOMPARE(WindowPlacement::minimumWithin(geometry, screens), expected);
    }

    // Each window keeps its own place in the preferences file, maximised or not, across a
    // restart (a new store over the same file).
    void remembersEachWindowInTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kestrova.ini"));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        // The offscreen platform's screen is 800×600: each rectangle fits it as it is.
        const QRect first(available.topLeft() + QPoint(0, 5), WindowPlacement::minimumSize);
        const QRect second(available.topLeft() + QPoint(0, 30), WindowPlacement::minimumSize + QSize(0, 10));
        {
            SettingsPreferencesStore store(file);
            WindowPlacement::setPreferences(&store);
            WindowPlacement placement;
            placement.remember(0, first, false);
            placement.remember(1, second, true);
        }
        SettingsPreferencesStore store(file);
        WindowPlacement::setPreferences(&store);
        const WindowPlacement placement;
        const QVariantMap main = placement.placeFor(0, QRect());
        const QVariantMap other = placement.placeFor(1, QRect());
        const QRect proposed(available.topLeft() + QPoint(0, 20), WindowPlacement::minimumSize);
        const QVariantMap unknown = placement.placeFor(2, proposed);
        WindowPlacement::setPreferences(nullptr);

        const auto geometry = [](const QVariantMap &place) {
            return QRect(place["x"].toInt(), place["y"].toInt(), place["width"].toInt(), place["height"].toInt());
        };
        QCOMPARE(geometry(main), first);
        QCOMPARE(main["maximized"].toBool(), false);
        QCOMPARE(geometry(other), second);
        QCOMPARE(other["maximized"].toBool(), true);
        QCOMPARE(geometry(unknown), proposed);
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
