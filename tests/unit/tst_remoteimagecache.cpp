#include "client/FrigateClient.h"
#include "screens/ImageCanvas.h"
#include "screens/LiveSnapshotView.h"
#include "screens/RemoteImageCache.h"
#include "state/MemorySecretStore.h"
#include "state/ServerSettings.h"

#include "TaskRunner.h"

#include <QBuffer>
#include <QPointer>
#include <algorithm>
#include <QImage>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray pngOf(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Answer
{
    int status = 200;
    QByteArray body;
    int delayMs = 0;
    // Announces a larger body than is sent, as a server streaming a huge file would.
    qint64 announcedLength = -1;
};

} // namespace

Q_DECLARE_METATYPE(Answer)

namespace {

struct SeenRequest
{
    QByteArray target; // path and query
    QByteArray authorization;
};

// A minimal HTTP/1.1 server answering GETs from a table of paths (query ignored).
class ImageServer : public QTcpServer
{
public:
    ImageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                serve(socket);
        });
        listen(QHostAddress::LocalHost);
        answers.insert("/api/version", {200, "0.16.0", 0, -1});
    }

    ~ImageServer() override
    {
        // The sockets' handlers use members that are gone by the time the base class deletes them.
        const auto sockets = findChildren<QTcpSocket *>();
        for (QTcpSocket *socket : sockets) {
            socket->disconnect(this);
            socket->disconnect(socket);
            delete socket;
        }
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    int count(const QByteArray &path) const
    {
        return int(std::count_if(seen.begin(), seen.end(),
                                 [&](const SeenRequest &r) { return r.target.split('?').value(0) == path; }));
    }

    QHash<QByteArray, Answer> answers;
    QList<SeenRequest> seen;

private:
    void serve(QTcpSocket *socket)
    {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray &buffer = pending[socket];
            buffer += socket->readAll();
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer.left(end);
            buffer.remove(0, end + 4);
            respond(socket, head);
        });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            pending.remove(socket);
            socket->deleteLater();
        });
    }

    void respond(QTcpSocket *socket, const QByteArray &head)
    {
        const QList<QByteArray> lines = head.split('\n');
        SeenRequest request;
        request.target = lines.value(0).split(' ').value(1);
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("authorization:"))
                request.authorization = line.mid(line.indexOf(':') + 1).trimmed();
        }
        seen.append(request);
        const Answer answer = answers.value(request.target.split('?').value(0), Answer{404, "not found", 0, -1});
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(answer.delayMs, this, [guard, answer] {
            if (!guard)
                return;
            const qint64 length = answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
            guard->write("HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nContent-Length: "
                         + QByteArray::number(length) + "\r\nContent-Type: image/png\r\n\r\n" + answer.body);
        });
    }

    QHash<QTcpSocket *, QByteArray> pending;
};

} // namespace

class TestRemoteImageCache : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ImageServer> server;
    std::unique_ptr<MemorySecretStore> secrets;
    std::unique_ptr<FrigateClient> client;

    // Waits for one load of path through the cache; answers the image (null on failure).
    QImage load(const QString &path, const QueryItems &query = {})
    {
        QImage result;
        bool done = false;
        QObject context;
        RemoteImageCache::instance()->load(path, query, &context, [&](const QImage &image) {
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
        server = std::make_unique<ImageServer>();
        QVERIFY(server->isListening());
        secrets = std::make_unique<MemorySecretStore>();
        ServerSettings settings;
        settings.internalURL = server->base();
        runTask(secrets->writeSecret(QStringLiteral("tok-123"), QStringLiteral("token.") + settings.idText()));
        client = std::make_unique<FrigateClient>(settings.access(), secrets.get(), nullptr);
        QVERIFY(runTask(client->findServer()));
        RemoteImageCache::setClient(client.get());
        RemoteImageCache::instance()->clear();
    }

    void cleanup()
    {
        RemoteImageCache::setClient(nullptr);
        client.reset();
        server.reset();
    }

    void cacheKeyJoinsQueryInOrder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QueryItems>("query");
        QTest::addColumn<QString>("key");
        QTest::newRow("no query") << "api/a/latest.jpg" << QueryItems{} << "api/a/latest.jpg?";
        QTest::newRow("one item") << "api/review/x/preview" << QueryItems{{"format", "gif"}}
                                  << "api/review/x/preview?format=gif";
        QTest::newRow("order kept, empty value") << "p" << QueryItems{{"b", "2"}, {"a", ""}} << "p?b=2&a=";
    }
    void cacheKeyJoinsQueryInOrder()
    {
        QFETCH(QString, path);
        QFETCH(QueryItems, query);
        QFETCH(QString, key);
        QCOMPARE(RemoteImageCache::cacheKey(path, query), key);
    }

    void loadsWithTheClientsAuthorization()
    {
        server->answers.insert("/api/front/latest.jpg", {200, pngOf(16, 9, Qt::red), 0, -1});
        const QImage image = load(QStringLiteral("api/front/latest.jpg"), {{"height", "90"}});
        QCOMPARE(image.size(), QSize(16, 9));
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(server->seen.last().target, QByteArray("/api/front/latest.jpg?height=90"));
        QCOMPARE(server->seen.last().authorization, QByteArray("Bearer tok-123"));
    }

    void concurrentLoadsOfOneKeyShareOneRequest()
    {
        server->answers.insert("/img", {200, pngOf(4, 4, Qt::blue), 300, -1});
        QList<QImage> results;
        QObject first, second, gone;
        auto *cache = RemoteImageCache::instance();
        const auto keep = [&](const QImage &image) { results.append(image); };
        cache->load(QStringLiteral("img"), {}, &first, keep);
        cache->load(QStringLiteral("img"), {}, &second, keep);
        {
            // A waiter that goes away before the answer is simply not called.
            QObject shortLived;
            cache->load(QStringLiteral("img"), {}, &shortLived, keep);
        }
        QVERIFY(QTest::qWaitFor([&] { return results.size() == 2; }, 5000));
        QTest::qWait(50);
        QCOMPARE(results.size(), 2);
        QCOMPARE(server->count("/img"), 1);
        QVERIFY(!results[0].isNull());
        QCOMPARE(results[0], results[1]);

        // Later loads come from the cache.
        QVERIFY(!load(QStringLiteral("img")).isNull());
        QCOMPARE(server->count("/img"), 1);
        QVERIFY(!cache->cached(QStringLiteral("img?")).isNull());
    }

    void failuresAreNotCached_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("server error") << Answer{500, "boom", 0, -1};
        QTest::newRow("not an image") << Answer{200, "<html>login</html>", 0, -1};
        QTest::newRow("body over the cap") << Answer{200, pngOf(2, 2, Qt::green), 0, BodyLimit::Image + 1};
    }
    void failuresAreNotCached()
    {
        QFETCH(Answer, answer);
        server->answers.insert("/bad", answer);
        QVERIFY(load(QStringLiteral("bad")).isNull());
        QCOMPARE(RemoteImageCache::instance()->count(), 0);

        server->answers.insert("/bad", {200, pngOf(2, 2, Qt::green), 0, -1});
        QVERIFY(!load(QStringLiteral("bad")).isNull());
        QCOMPARE(server->count("/bad"), 2);
    }

    void withoutAReachableServerLoadsFail()
    {
        RemoteImageCache::setClient(nullptr);
        QVERIFY(load(QStringLiteral("img")).isNull());
        QCOMPARE(server->seen.size(), 1); // only the probe of init()
    }

    void holdsThreeHundredLeastRecentlyUsedOut()
    {
        auto *cache = RemoteImageCache::instance();
        server->answers.insert("/tile", {200, pngOf(2, 2, Qt::yellow), 0, -1});
        const auto key = [](int i) { return QStringLiteral("tile?n=%1").arg(i); };
        int loaded = 0;
        QObject context;
        for (int i = 0; i < RemoteImageCache::Capacity; ++i) {
            cache->load(QStringLiteral("tile"), {{"n", QString::number(i)}}, &context,
                        [&loaded](const QImage &image) { loaded += image.isNull() ? 0 : 1; });
        }
        QTRY_COMPARE_WITH_TIMEOUT(loaded, RemoteImageCache::Capacity, 20000);
        QCOMPARE(cache->count(), RemoteImageCache::Capacity);
        // Answers arrive in any order; reading every entry sets the recency to 0 (oldest) .. 299.
        for (int i = 0; i < RemoteImageCache::Capacity; ++i)
            QVERIFY(!cache->cached(key(i)).isNull());

        // Touch the oldest entry, then one more image pushes out the next oldest instead.
        QVERIFY(!cache->cached(key(0)).isNull());
        QVERIFY(!load(QStringLiteral("tile"), {{"n", "300"}}).isNull());
        QCOMPARE(cache->count(), RemoteImageCache::Capacity);
        QVERIFY(!cache->cached(key(0)).isNull());
        QVERIFY(cache->cached(key(1)).isNull());
        QVERIFY(!cache->cached(key(2)).isNull());
        QVERIFY(!cache->cached(key(300)).isNull());
    }

    void snapshotLoopKeepsTheLastGoodPicture()
    {
        server->answers.insert("/api/door/latest.jpg", {200, pngOf(8, 6, Qt::red), 0, -1});
        QQuickWindow window;
        LiveSnapshotView view(window.contentItem());
        view.setRefreshSeconds(0); // polls at the 0.5 s floor
        view.setCamera(QStringLiteral("door"));
        QVERIFY(QTest::qWaitFor([&] { return view.hasImage(); }, 5000));
        const QByteArray first = server->seen.last().target;
        QVERIFY(first.startsWith("/api/door/latest.jpg?height=360&t="));
        QCOMPARE(server->seen.last().authorization, QByteArray("Bearer tok-123"));

        server->answers.insert("/api/door/latest.jpg", {503, "busy", 0, -1});
        const int before = server->count("/api/door/latest.jpg");
        QVERIFY(QTest::qWaitFor([&] { return server->count("/api/door/latest.jpg") >= before + 2; }, 5000));
        QCOMPARE(view.imageSize(), QSize(8, 6));
        QVERIFY(server->seen.last().target != first); // the time stamp defeats caches

        server->answers.insert("/api/door/latest.jpg", {200, pngOf(5, 5, Qt::blue), 0, -1});
        QVERIFY(QTest::qWaitFor([&] { return view.imageSize() == QSize(5, 5); }, 5000));
        QCOMPARE(RemoteImageCache::instance()->count(), 0);

        // Hidden, it stops asking.
        view.setVisible(false);
        QTest::qWait(100);
        const int stopped = server->count("/api/door/latest.jpg");
        QTest::qWait(1200);
        QCOMPARE(server->count("/api/door/latest.jpg"), stopped);
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
        QTest::newRow("fill crops the sides") << ImageCanvas::FillMode::Fill << QRectF(0, 0, 100, 100)
                                              << QRectF(35, 0, 90, 90);
        QTest::newRow("stretch distorts") << ImageCanvas::FillMode::Stretch << QRectF(0, 0, 100, 100)
                                          << QRectF(0, 0, 160, 90);
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
