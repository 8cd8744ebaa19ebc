#pragma once
#include "client/FrigateClient.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class ImageDownload;

// Decoded images of server paths, shared by every RemoteImage of the process: at most
// `Capacity` entries, the least recently used one leaving first. Concurrent loads of one key
// share one request. Everything runs on the GUI thread; only decoding runs on a worker.
class RemoteImageCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int Capacity = 300;
    // A null image: the request failed or the body was not an image.
    using Callback = std::function<void(const QImage &image)>;

    static RemoteImageCache *instance();
    // The application model's client; images load through its network stack and credentials.
    static void setClient(FrigateClient *client);
    static FrigateClient *client();

    // path, then "?", then name=value pairs joined by "&".
    static QString cacheKey(const QString &path, const QueryItems &query);

    // The cached image of a key (now the most recently used), or a null image.
    QImage cached(const QString &key);
    int count() const { return m_images.count(); }
    void clear();

    // Answers from the cache or through the (shared) request. `done` runs later, on the GUI
    // thread, unless `context` is destroyed first.
    void load(const QString &path, const QueryItems &query, QObject *context, Callback done);

private:
    explicit RemoteImageCache(QObject *parent = nullptr);
    void finish(const QString &key, const QImage &image);

    QCache<QString, QImage> m_images;
    QHash<QString, QPointer<ImageDownload>> m_pending;
    QPointer<FrigateClient> m_client;
};
