#pragma once
#include "client/FrigateClient.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>

class AppModel;
class ImageDownload;

// Decoded images of server paths, shared by every RemoteImage of the process. It holds the
// images of one server at a time: keys carry the server's id and the base URL in use, and a
// change of either (another server, the other address) or a sign-out empties the cache and drops
// the loads in flight. Concurrent loads of one key share one request. Everything runs on the GUI
// thread; only decoding runs on a worker.
class RemoteImageCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int Capacity = 300;
    // Decoded, not compressed, bytes: 300 list thumbnails of about 320x180 (225 KiB each in
    // ARGB32) still fit, while a few full-size 4K snapshots (32 MiB each) cannot hold hundreds
    // of MiB.
    static constexpr qint64 ByteCapacity = 64LL << 20;
    // A null image: the request failed or the body was not an image.
    using Callback = std::function<void(const QImage &image)>;

    static RemoteImageCache *instance();
    // The application model: images load through its client, and its server decides what the
    // cache may hold. Null detaches (loads then fail).
    static void setModel(AppModel *model);
    static FrigateClient *client();

    // The key of a request to the current server: the server's identity, then the path, "?"
    // and the name=value pairs joined by "&", in order.
    QString cacheKey(const QString &path, const QueryItems &query) const;
    // The cached image of a key (now the most recently used), or a null image.
    QImage cached(const QString &key)
    {
        const QImage *image = m_images.object(key);
        return image ? *image : QImage();
    }
    int count() const { return m_images.count(); }

    // Answers from the cache or through the (shared) request. `done` runs later, on the GUI
    // thread, unless `context` is destroyed first or the server changes first (serverChanged).
    void load(const QString &path, const QueryItems &query, QObject *context, Callback done);

signals:
    // The images shown so far may belong to another server, and loads in flight were dropped:
    // views load again.
    void serverChanged();

private:
    explicit RemoteImageCache(QObject *parent = nullptr);
    QString currentServer() const;
    void syncServer();
    void forget();
    void finish(const QString &key, const QImage &image);

    QCache<QString, QImage> m_images; // cost: decoded bytes, at least a 300th of the cap
    QHash<QString, QPointer<ImageDownload>> m_pending;
    QPointer<AppModel> m_model;
    QString m_server;
    // Raised by forget(): answers from the cache still queued for another server are dropped.
    int m_generation = 0;
};
