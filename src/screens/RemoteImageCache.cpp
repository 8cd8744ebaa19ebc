#include "screens/RemoteImageCache.h"

#include "screens/ImageDownload.h"

#include <QCoreApplication>

RemoteImageCache::RemoteImageCache(QObject *parent) : QObject(parent), m_images(Capacity) {}

RemoteImageCache *RemoteImageCache::instance()
{
    static RemoteImageCache *cache = new RemoteImageCache(QCoreApplication::instance());
    return cache;
}

void RemoteImageCache::setClient(FrigateClient *client)
{
    instance()->m_client = client;
}

FrigateClient *RemoteImageCache::client()
{
    return instance()->m_client;
}

QString RemoteImageCache::cacheKey(const QString &path, const QueryItems &query)
{
    QStringList pairs;
    pairs.reserve(query.size());
    for (const auto &[name, value] : query)
        pairs << name + QLatin1Char('=') + value;
    return path + QLatin1Char('?') + pairs.join(QLatin1Char('&'));
}

QImage RemoteImageCache::cached(const QString &key)
{
    const QImage *image = m_images.object(key);
    return image ? *image : QImage();
}

void RemoteImageCache::clear()
{
    m_images.clear();
}

void RemoteImageCache::load(const QString &path, const QueryItems &query, QObject *context, Callback done)
{
    const QString key = cacheKey(path, query);
    ImageDownload *download = m_pending.value(key);
    if (!download) {
        if (const QImage *image = m_images.object(key)) {
            QMetaObject::invokeMethod(context, [done, image = *image] { done(image); }, Qt::QueuedConnection);
            return;
        }
        const std::optional<QUrl> url = m_client ? m_client->makeURL(path, query) : std::nullopt;
        download = new ImageDownload(m_client, url, std::nullopt, this);
        m_pending.insert(key, download);
        connect(download, &ImageDownload::finished, this, [this, key](const QImage &image) { finish(key, image); });
    }
    connect(download, &ImageDownload::finished, context, [done](const QImage &image) { done(image); });
}

void RemoteImageCache::finish(const QString &key, const QImage &image)
{
    m_pending.remove(key);
    if (!image.isNull())
        m_images.insert(key, new QImage(image));
}
