#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "screens/ImageCanvas.h"
#include "screens/ImageLru.h"
#include "screens/LiveSnapshotView.h"
#include "screens/RemoteImageCache.h"
#include "screens/RemoteImageView.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QBuffer>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QByteArray pngOf(QColor colour, QSize size = {4, 4})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QColor colourOf(const QImage &image)
{
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

struct Answer
{
    int status = 200;
    QByteArray body;
    int delayMs = 0;
};

// A minimal HTTP/1.1 server answering GETs from a table of paths (query ignored), enough of
// Frigate for a client to connect without signing in.
class ImageServer : public QTcpServer
{
public:
    ImageServer()
    {
        answers.insert("/api/version", {200, "0.16.0"});
        answers.insert("/api/config", {200, R"({"cameras": {}})"});
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
        listen(QHostAddress::LocalHost);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    // Requests of path (query left off), and the head of the last one.
    int count(const QByteArray &path) const { return int(m_paths.count(path)); }
    QByteArray lastHead(const QByteArray &path) const { return m_heads.value(path); }

    QHash<QByteArray, Answer> answers;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0; buffer.remove(0, end + 4)) {
            const QByteArray path = buffer.left(end).split(' ').value(1).split('?').value(0);
            m_paths.append(path);
            m_heads[path] = buffer.left(end);
            const Answer answer = answers.value(path, {404, "not found"});
            const QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nContent-Length: "
                                     + QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body;
            QTimer::singleShot(answer.delayMs, socket, [socket, reply] { socket->write(reply); });
        }
    }
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QByteArrayList m_paths;
    QHash<QByteArray, QByteArray> m_heads;
};

const QString kPath = QStringLiteral("api/front/latest.jpg");
const QByteArray kWirePath = "/api/front/latest.jpg";

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
    std::unique_ptr<ImageServer> a, b;

    static RemoteImageCache *cache() { return RemoteImageCache::instance(); }

    // Makes server the current one and signs in, as the login screen does.
    void connectTo(const ImageServer &server)
    {
        ServerSettings settings;
        settings.internalURL = server.base();
        settings.username = QStringLiteral("viewer");
        runTask(secrets.writeSecret(QStringLiteral("tok-%1").arg(server.serverPort()),
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
        a = std::make_unique<ImageServer>();
        b = std::make_unique<ImageServer>();
        QVERIFY(a->isListening() && b->isListening());
    }

    void cleanup()
    {
        RemoteImageCache::setModel(nullptr);
        model.reset();
    }

    void lruKeepsWithinBothCaps_data()
    {
        QTest::addColumn<int>("maxEntries");
        QTest::addColumn<qint64>("maxBytes");
        // "k:n" stores under k an image of n bytes; a bare "k" reads k.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("entry cap: oldest out") << 2 << 1000LL << "a:8 b:8 c:8" << QStringList{"b", "c"};
        QTest::newRow("a read entry stays") << 2 << 1000LL << "a:8 b:8 a c:8" << QStringList{"a", "c"};
        QTest::newRow("byte cap: out until it fits") << 9 << 32LL << "a:8 b:8 c:8 b d:24" << QStringList{"b", "d"};
        QTest::newRow("over the byte cap: nothing out") << 9 << 32LL << "a:8 b:36" << QStringList{"a"};
        QTest::newRow("over the byte cap: key dropped") << 9 << 32LL << "a:8 a:36" << QStringList{};
        QTest::newRow("a replaced key counts once") << 9 << 32LL << "a:16 a:16 b:16" << QStringList{"a", "b"};
    }
    void lruKeepsWithinBothCaps()
    {
        QFETCH(int, maxEntries);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, steps);
        QFETCH(QStringList, kept);
        ImageLru lru(maxEntries, maxBytes);
        QHash<QString, qint64> sizes;
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const QString key = step.section(QLatin1Char(':'), 0, 0);
            if (key == step) {
                QVERIFY(!lru.object(key).isNull());
                continue;
            }
            sizes[key] = step.section(QLatin1Char(':'), 1).toInt();
            lru.insert(key, QImage(int(sizes[key] / 4), 1, QImage::Format_ARGB32));
        }
        qint64 total = 0;
        for (const QString &key : sizes.keys()) {
            QCOMPARE(!lru.object(key).isNull(), kept.contains(key));
            total += kept.contains(key) ? sizes[key] : 0;
        }
        QCOMPARE(lru.bytes(), total);
        QCOMPARE(lru.count(), kept.size());
    }

    void concurrentLoadsShareOneAuthorizedRequest()
    {
        connectTo(*a);
        a->answers.insert(kWirePath, {200, pngOf(Qt::red), 300});
        QList<QImage> results;
        QObject first, second;
        const auto keep = [&](const QImage &image) { results.append(image); };
        cache()->load(kPath, {{"height", "90"}}, &first, keep);
        cache()->load(kPath, {{"height", "90"}}, &second, keep);
        {
            // A waiter that goes away before the answer is simply not called.
            QObject shortLived;
            cache()->load(kPath, {{"height", "90"}}, &shortLived, keep);
        }
        QVERIFY(QTest::qWaitFor([&] { return results.size() == 2; }, 5000));
        QCOMPARE(colourOf(results[0]), QColor(Qt::red));
        QCOMPARE(results[0], results[1]);
        QCOMPARE(a->count(kWirePath), 1);
        const QByteArray head = a->lastHead(kWirePath);
        QVERIFY(head.startsWith("GET " + kWirePath + "?height=90 "));
        QVERIFY(head.contains("\r\nAuthorization: Bearer tok-" + QByteArray::number(a->serverPort())));
    }

    // What one answer leaves in the cache; a later load asks the server again unless it was kept.
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
        QFETCH(bool, kept);
        connectTo(*a);
        a->answers.insert(kWirePath, answer);
        QTEST(!load(kPath).isNull(), "shown");
        QCOMPARE(cache()->count(), kept ? 1 : 0);

        a->answers.insert(kWirePath, {200, pngOf(Qt::green)});
        QVERIFY(!load(kPath).isNull());
        QCOMPARE(a->count(kWirePath), kept ? 1 : 2);
    }

    // The same path on two servers: after the switch, nothing of the first may show, neither
    // from the cache nor from an answer still on its way.
    void serverSwitchDropsTheFormerServersPictures_data()
    {
        QTest::addColumn<int>("firstDelayMs");
        QTest::addColumn<bool>("shownBeforeSwitch");
        QTest::newRow("shown and cached") << 0 << true;
        QTest::newRow("still on its way") << 700 << false;
    }
    void serverSwitchDropsTheFormerServersPictures()
    {
        QFETCH(int, firstDelayMs);
        QFETCH(bool, shownBeforeSwitch);
        a->answers.insert(kWirePath, {200, pngOf(Qt::red), firstDelayMs});
        b->answers.insert(kWirePath, {200, pngOf(Qt::blue)});
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
        QCOMPARE(colourOf(load(kPath)), QColor(Qt::blue));
        QVERIFY(QTest::qWaitFor([&] { return image.hasImage() && snapshot.hasImage(); }, 5000));
        QCOMPARE(colourOf(image.image()), QColor(Qt::blue));
        QCOMPARE(colourOf(snapshot.image()), QColor(Qt::blue));
    }

    void signingOutDropsWhatWasCachedOrQueued()
    {
        connectTo(*a);
        a->answers.insert(kWirePath, {200, pngOf(Qt::red)});
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
        a->answers.insert(kWirePath, {200, pngOf(Qt::red, {8, 6})});
        QQuickWindow window;
        LiveSnapshotView view(window.contentItem());
        view.setRefreshSeconds(0); // polls at the 0.5 s floor
        view.setCamera(QStringLiteral("front"));
        QVERIFY(QTest::qWaitFor([&] { return view.hasImage(); }, 5000));
        const QByteArray first = a->lastHead(kWirePath);
        QVERIFY(first.startsWith("GET " + kWirePath + "?height=360&t="));

        a->answers.insert(kWirePath, {503, "busy"});
        const int before = a->count(kWirePath);
        QVERIFY(QTest::qWaitFor([&] { return a->count(kWirePath) >= before + 2; }, 5000));
        QCOMPARE(view.imageSize(), QSize(8, 6));
        QVERIFY(a->lastHead(kWirePath) != first); // the time stamp defeats caches

        a->answers.insert(kWirePath, {200, pngOf(Qt::blue, {5, 5})});
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
