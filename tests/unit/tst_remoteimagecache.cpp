#include "LocalHttpServer.h"
#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "TestMedia.h"
#include "screens/ImageCanvas.h"
#include "screens/LiveSnapshotView.h"
#include "screens/RemoteImageCache.h"
#include "screens/RemoteImageView.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QQuickWindow>
#include <QUrlQuery>
#include <QtTest>

namespace {

QByteArray pngOf(QColor colour, QSize size = {4, 4})
{
    return TestMedia::stillPicture(colour, size, "PNG");
}

QColor colourOf(const QImage &image)
{
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

using Answer = LocalHttpServer::Answer;

// Enough of Frigate for a client to connect without signing in.
std::unique_ptr<LocalHttpServer> imageServer()
{
    auto server = std::make_unique<LocalHttpServer>();
    server->answer(QStringLiteral("/api/version"), {200, "0.16.0"});
    server->answer(QStringLiteral("/api/config"), {200, R"({"cameras": {}})"});
    return server;
}

const QString kPath = QStringLiteral("api/front/latest.jpg");
const QString kWirePath = QLatin1Char('/') + kPath;

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestRemoteImageCache : public QObject
{
    Q_OBJECT

private:
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ManualPollingClock clock;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<LocalHttpServer> a, b;

    static RemoteImageCache *cache() { return RemoteImageCache::instance(); }

    // Makes server the current one and signs in, as the login screen does.
    void connectTo(const LocalHttpServer &server)
    {
        ServerSettings settings;
        settings.internalURL = server.url({}).toString();
        settings.username = QStringLiteral("viewer");
        runTask(secrets.writeSecret(QStringLiteral("tok-%1").arg(server.url({}).port()),
                                    QStringLiteral("token.") + settings.idText()));
        model->selectServer(settings);
        runTask(model->connect(std::optional<QString>()));
        QVERIFY(model->isLoggedIn());
    }

    // Waits for one load of path through the cache; answers the image (null on failure).
    QImage load(const QString &path, const QueryItems &query = {})
    {
        QImage result;
        bool done = false;
        QObject context;
        cache()->load(path, query, &context, [&](const QImage &image) {
            result = image;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 5000))
            qWarning("load of %s timed out", qPrintable(path));
        return result;
    }

private slots:
    void init()
    {
        model = std::make_unique<AppModel>(&preferences, &secrets, nullptr, &clock);
        RemoteImageCache::setModel(model.get());
        a = imageServer();
        b = imageServer();
    }

    void cleanup()
    {
        RemoteImageCache::setModel(nullptr);
        model.reset();
    }

    // What one answer gives its waiters and leaves in the cache: loads of one path share one
    // authorised request, a waiter gone before the answer is not called, and a later load asks
    // the server again unless the image was kept.
    void onlyDecodedImagesWithinTheCapsAreKept_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("kept");
        QTest::newRow("image") << Answer{200, pngOf(Qt::red)} << true << true;
        QTest::newRow("server error") << Answer{500, "boom"} << false << false;
        QTest::newRow("not an image") << Answer{200, "<html>login</html>"} << false << false;
        QTest::newRow("body over its cap") << Answer{200, QByteArray(BodyLimit::Image + 1, 'x')} << false << false;
        // 4200 x 4200 x 4 bytes decoded: just over the 64 MiB the cache holds.
        QTest::newRow("decoded over the cap") << Answer{200, pngOf(Qt::red, {4200, 4200})} << true << false;
    }
    void onlyDecodedImagesWithinTheCapsAreKept()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, shown);
        QFETCH(bool, kept);
        connectTo(*a);
        a->answer(kWirePath, answer);
        const QueryItems query{{"height", "90"}};
        QList<QImage> results;
        QObject first, second;
        const auto keep = [&](const QImage &image) { results.append(image); };
        cache()->load(kPath, query, &first, keep);
        cache()->load(kPath, query, &second, keep);
        {
            QObject shortLived;
            cache()->load(kPath, query, &shortLived, keep);
        }
        QVERIFY(QTest::qWaitFor([&] { return results.size() == 2; }, 5000));
        QCOMPARE(colourOf(results[0]), shown ? QColor(Qt::red) : QColor());
        QCOMPARE(results[0], results[1]);
        QCOMPARE(a->count(kWirePath), 1);
        QCOMPARE(a->last(kWirePath).query, QStringLiteral("height=90"));
        QCOMPARE(a->last(kWirePath).headers.value("authorization"),
                 "Bearer tok-" + QByteArray::number(a->url({}).port()));
        QCOMPARE(cache()->count(), kept ? 1 : 0);

        a->answer(kWirePath, {200, pngOf(Qt::green)});
        QVERIFY(!load(kPath, query).isNull());
        QCOMPARE(a->count(kWirePath), kept ? 1 : 2);
    }

    // The same path on two servers: after the switch, nothing of the first may show, neither
    // from the cache nor from an answer still on its way.
    void serverSwitchDropsTheFormerServersPictures_data()
    {
        QTest::addColumn<bool>("shownBeforeSwitch"); // otherwise held back until after the switch
        QTest::newRow("shown and cached") << true;
        QTest::newRow("still on its way") << false;
    }
    void serverSwitchDropsTheFormerServersPictures()
    {
        QFETCH(bool, shownBeforeSwitch);
        const QByteArray red = pngOf(Qt::red);
        a->answer(kWirePath, {200, red, {}, shownBeforeSwitch ? 0 : red.size()});
        b->answer(kWirePath, {200, pngOf(Qt::blue)});
        connectTo(*a);
        QQuickWindow window;
        RemoteImageView image(window.contentItem());
        image.setPath(kPath);
        LiveSnapshotView snapshot(window.contentItem());
        snapshot.setRefreshSeconds(0);
        snapshot.setCamera(QStringLiteral("front"));
        QVERIFY(QTest::qWaitFor([&] { return a->count(kWirePath) == 2; }, 5000));
        if (shownBeforeSwitch)
            QVERIFY(QTest::qWaitFor([&] { return image.hasImage() && snapshot.hasImage(); }, 5000));

        connectTo(*b);
        a->release();
        QCOMPARE(colourOf(load(kPath)), QColor(Qt::blue));
        QVERIFY(QTest::qWaitFor([&] { return image.hasImage() && snapshot.hasImage(); }, 5000));
        QCOMPARE(colourOf(image.image()), QColor(Qt::blue));
        QCOMPARE(colourOf(snapshot.image()), QColor(Qt::blue));
    }

    void signingOutDropsWhatWasCachedOrQueued()
    {
        connectTo(*a);
        a->answer(kWirePath, {200, pngOf(Qt::red)});
        QVERIFY(!load(kPath).isNull());
        QCOMPARE(cache()->count(), 1);
        bool answered = false;
        cache()->load(kPath, {}, this, [&](const QImage &) { answered = true; });
        model->disconnect();
        QCOMPARE(cache()->count(), 0);
        QCoreApplication::processEvents();
        QVERIFY(!answered);
    }

    void snapshotLoopKeepsTheLastGoodPicture()
    {
        connectTo(*a);
        a->answer(kWirePath, {200, pngOf(Qt::red, {8, 6})});
        QQuickWindow window;
        LiveSnapshotView view(window.contentItem());
        view.setRefreshSeconds(0); // polls at the 0.5 s floor
        view.setCamera(QStringLiteral("front"));
        QVERIFY(QTest::qWaitFor([&] { return view.hasImage(); }, 5000));
        const QString first = a->last(kWirePath).query;
        const QUrlQuery asked(first);
        QCOMPARE(asked.queryItemValue(QStringLiteral("h")), QStringLiteral("360"));
        QCOMPARE(asked.queryItemValue(QStringLiteral("height")), QStringLiteral("360"));
        QVERIFY(asked.hasQueryItem(QStringLiteral("t")));

        a->answer(kWirePath, {503, "busy"});
        const int before = a->count(kWirePath);
        QVERIFY(QTest::qWaitFor([&] { return a->count(kWirePath) >= before + 2; }, 5000));
        QCOMPARE(view.imageSize(), QSize(8, 6));
        QVERIFY(a->last(kWirePath).query != first); // the time stamp defeats caches

        a->answer(kWirePath, {200, pngOf(Qt::blue, {5, 5})});
        QVERIFY(QTest::qWaitFor([&] { return view.imageSize() == QSize(5, 5); }, 5000));
        QCOMPARE(cache()->count(), 0);

        // Hidden, it stops asking.
        view.setVisible(false);
        QTest::qWait(100);
        const int stopped = a->count(kWirePath);
        QTest::qWait(1200);
        QCOMPARE(a->count(kWirePath), stopped);
    }

    void refreshIntervalHasAFloor_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("ms");
        QTest::newRow("zero") << 0.0 << 500;
        QTest::newRow("negative") << -3.0 << 500;
        QTest::newRow("not a number") << qQNaN() << 500;
        QTest::newRow("two seconds") << 2.0 << 2000;
    }
    void refreshIntervalHasAFloor()
    {
        QFETCH(double, seconds);
        QTEST(LiveSnapshotView::intervalMs(seconds), "ms");
    }

    void canvasPlacesTheImage_data()
    {
        QTest::addColumn<ImageCanvas::FillMode>("mode");
        QTest::addColumn<QRectF>("target");
        QTest::addColumn<QRectF>("source");
        // A 160x90 image in a 100x100 item.
        using Mode = ImageCanvas::FillMode;
        QTest::newRow("fit letterboxes") << Mode::Fit << QRectF(0, 21.875, 100, 56.25) << QRectF(0, 0, 160, 90);
        QTest::newRow("fill crops the sides") << Mode::Fill << QRectF(0, 0, 100, 100) << QRectF(35, 0, 90, 90);
        QTest::newRow("stretch distorts") << Mode::Stretch << QRectF(0, 0, 100, 100) << QRectF(0, 0, 160, 90);
    }
    void canvasPlacesTheImage()
    {
        QFETCH(ImageCanvas::FillMode, mode);
        QTEST(ImageCanvas::targetRect(QSizeF(160, 90), QSizeF(100, 100), mode), "target");
        QTEST(ImageCanvas::sourceRect(QSizeF(160, 90), QSizeF(100, 100), mode), "source");
    }
};

QTEST_MAIN(TestRemoteImageCache)
#include "tst_remoteimagecache.moc"
