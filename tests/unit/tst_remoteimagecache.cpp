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
    // Announces a larger body than is sent, as a server streaming a huge file would.
    qint64 announcedLength = -1;
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
    int count(const QByteArray &path) const { return int(m_paths.count(path)); }
    // The path and query of the last request of path, and its authorization header.
    QByteArray lastTarget(const QByteArray &path) const { return m_last.value(path).first; }
    QByteArray lastAuthorization(const QByteArray &path) const { return m_last.value(path).second; }

    QHash<QByteArray, Answer> answers;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0; buffer.remove(0, end + 4)) {
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            const QByteArray target = lines.value(0).split(' ').value(1);
            const QByteArray path = target.split('?').value(0);
            m_paths.append(path);
            m_last[path] = {target, {}};
            for (const QByteArray &line : lines) {
                if (line.toLower().startsWith("authorization:"))
                    m_last[path].second = line.mid(14).trimmed();
            }
            const Answer answer = answers.value(path, {404, "not found"});
            const qint64 length = answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
            const QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status)
                                     + " X\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" + answer.body;
            QTimer::singleShot(answer.delayMs, socket, [socket, reply] { socket->write(reply); });
        }
    }
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QByteArrayList m_paths;
    QHash<QByteArray, std::pair<QByteArray, QByteArray>> m_last;
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
        QTest::addColumn<QString>("kept");
        QTest::newRow("entry cap: oldest out") << 2 << 1000LL << "a:8 b:8 c:8"
                                               << "b c";
        QTest::newRow("a read entry stays") << 2 << 1000LL << "a:8 b:8 a c:8"
                                            << "a c";
        QTest::newRow("byte cap: oldest out until it fits") << 9 << 32LL << "a:8 b:8 c:8 b d:24"
                                                            << "b d";
        QTest::newRow("over the byte cap: not kept, nothing out") << 9 << 32LL << "a:8 b:36"
                                                                  << "a";
        QTest::newRow("over the byte cap: replaces nothing") << 9 << 32LL << "a:8 a:36"
                                                             << "";
        QTest::newRow("a replaced key counts once") << 9 << 32LL << "a:16 a:16 b:16"
                                                    << "a b";
    }
    void lruKeepsWithinBothCaps()
    {
        QFETCH(int, maxEntries);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, steps);
        QFETCH(QString, kept);
        ImageLru lru(maxEntries, maxBytes);
        QHash<QString, qint64> sizes;
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const QStringList parts = step.split(QLatin1Char(':'));
            if (parts.size() == 1) {
                QVERIFY(!lru.object(step).isNull());
                continue;
            }
            const int bytes = parts[1].toInt();
            sizes[parts[0]] = bytes;
            lru.insert(parts[0], QImage(bytes / 4, 1, QImage::Format_ARGB32));
        }
        qint64 total = 0;
        for (const QString &key : sizes.keys()) {
            const bool expected = kept.split(QLatin1Char(' ')).contains(key);
            QCOMPARE(!lru.object(key).isNull(), expected);
            total += expected ? sizes[key] : 0;
        }
        QCOMPARE(lru.bytes(), total);
        QCOMPARE(lru.count(), int(kept.split(QLatin1Char(' '), Qt::SkipEmptyParts).size()));
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
        QCOMPARE(a->lastTarget(kWirePath), kWirePath + "?height=90");
        QCOMPARE(a->lastAuthorization(kWirePath), "Bearer tok-" + QByteArray::number(a->serverPort()));

        // Later loads come from the cache.
        QCOMPARE(colourOf(load(kPath, {{"height", "90"}})), QColor(Qt::red));
        QCOMPARE(a->count(kWirePath), 1);
    }

    void failuresAreNotCached_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("server error") << Answer{500, "boom"};
        QTest::newRow("not an image") << Answer{200, "<html>login</html>"};
        QTest::newRow("body over the cap") << Answer{200, pngOf(Qt::green), 0, BodyLimit::Image + 1};
    }
    void failuresAreNotCached()
    {
        QFETCH(Answer, answer);
        connectTo(*a);
        a->answers.insert(kWirePath, answer);
        QVERIFY(load(kPath).isNull());
        QCOMPARE(cache()->count(), 0);

        a->answers.insert(kWirePath, {200, pngOf(Qt::green)});
        QVERIFY(!load(kPath).isNull());
        QCOMPARE(a->count(kWirePath), 2);
    }

    void withoutAModelLoadsFail()
    {
        RemoteImageCache::setModel(nullptr);
        QVERIFY(load(kPath).isNull());
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

    void imageOverTheByteCapIsShownButNotKept()
    {
        connectTo(*a);
        // 4200 x 4200 x 4 bytes decoded: just over 64 MiB.
        a->answers.insert(kWirePath, {200, pngOf(Qt::red, {4200, 4200})});
        QVERIFY(!load(kPath).isNull());
        QCOMPARE(cache()->count(), 0);
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
        const QByteArray first = a->lastTarget(kWirePath);
        QVERIFY(first.startsWith(kWirePath + "?height=360&t="));

        a->answers.insert(kWirePath, {503, "busy"});
        const int before = a->count(kWirePath);
        QVERIFY(QTest::qWaitFor([&] { return a->count(kWirePath) >= before + 2; }, 5000));
        QCOMPARE(view.imageSize(), QSize(8, 6));
        QVERIFY(a->lastTarget(kWirePath) != first); // the time stamp defeats caches

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
        QFETCH(int, ms);
        QCOMPARE(LiveSnapshotView::intervalMs(seconds), ms);
    }

    void canvasPlacesTheImage_data()
    {
        QTest::addColumn<ImageCanvas::FillMode>("mode");
        QTest::addColumn<QRectF>("target");
        QTest::addColumn<QRectF>("source");
        // A 160x90 image in a 100x100 item.
        QTest::newRow("fit letterboxes") << ImageCanvas::FillMode::Fit << QRectF(0, 21.875, 100, 56.25)
                                         << QRectF(0, 0, 160, 90);
        QTest::newRow("fill crops the sides")
            << ImageCanvas::FillMode::Fill << QRectF(0, 0, 100, 100) << QRectF(35, 0, 90, 90);
        QTest::newRow("stretch distorts")
            << ImageCanvas::FillMode::Stretch << QRectF(0, 0, 100, 100) << QRectF(0, 0, 160, 90);
    }
    void canvasPlacesTheImage()
    {
        QFETCH(ImageCanvas::FillMode, mode);
        QFETCH(QRectF, target);
        QFETCH(QRectF, source);
        QCOMPARE(ImageCanvas::targetRect(QSizeF(160, 90), QSizeF(100, 100), mode), target);
        QCOMPARE(ImageCanvas::sourceRect(QSizeF(160, 90), QSizeF(100, 100), mode), source);
    }
};

QTEST_MAIN(TestRemoteImageCache)
#include "tst_remoteimagecache.moc"
