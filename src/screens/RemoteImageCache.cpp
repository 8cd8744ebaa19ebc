#include "screens/RemoteImageCache.h"
#include "client/UuidText.h"

#include "screens/ImageDownload.h"
#include "state/AppModel.h"

#include <QCoreApplication>
#include <utility>

RemoteImageCache::RemoteImageCache(QObject *parent)
    : QObject(parent)
    , m_images(ByteCapacity)
{ }

RemoteImageCache *RemoteImageCache::instance()
{
    static RemoteImageCache *cache = new RemoteImageCache(QCoreApplication::instance());
    return cache;
}

void RemoteImageCache::setModel(AppModel *model)
{
    RemoteImageCache *cache = instance();
    if (cache->m_model)
        QObject::disconnect(cache->m_model, nullptr, cache, nullptr);
    cache->m_model = model;
    cache->syncServer();
    if (!model)
        return;
    connect(model, &AppModel::settingsChanged, cache, &RemoteImageCache::syncServer);
    connect(model, &AppModel::addressInUseChanged, cache, &RemoteImageCache::syncServer);
    connect(model, &AppModel::isLoggedInChanged, cache, [cache, model] {
        if (!model->isLoggedIn())
            cache->forget();
    });
}

FrigateClient *RemoteImageCache::client()
{
    const AppModel *model = instance()->m_model;
    return model ? model->client() : nullptr;
}

QString RemoteImageCache::currentServer() const
{
    const FrigateClient *current = client();
    if (!current)
        return QString();
    const std::optional<QUrl> base = current->baseURL();
    return uuidText(current->settings().id) + QLatin1Char(' ') + (base ? base->toString() : QString());
}

// The model announces every change of server and of the address in use, once the client
// already talks to the new one.
void RemoteImageCache::syncServer()
{
    QString server = currentServer();
    if (server == m_server)
        return;
    m_server = std::move(server);
    forget();
}

void RemoteImageCache::forget()
{
    m_images.clear();
    ++m_generation;
    // Destroying a download aborts its transfer; its waiters are not called.
    const auto pending = std::exchange(m_pending, {});
    for (const QPointer<ImageDownload> &download : pending)
        delete download.data();
    emit serverChanged();
}

QString RemoteImageCache::cacheKey(const QString &path, const QueryItems &query) const
{
    QStringList pairs;
    pairs.reserve(query.size());
    for (const auto &[name, value] : query)
        pairs << name + QLatin1Char('=') + value;
    return m_server + QLatin1Char(' ') + path + QLatin1Char('?') + pairs.join(QLatin1Char('&'));
}

void RemoteImageCache::load(const QString &path, const QueryItems &query, QObject *context, Callback done)
{
    const QString key = cacheKey(path, query);
    ImageDownload *download = m_pending.value(key);
    if (!download) {
        const QImage image = cached(key);
        if (!image.isNull()) {
            const auto answer = [this, done, image, generation = m_generation] {
                if (generation == m_generation)
                    done(image);
            };
            QMetaObject::invokeMethod(context, answer, Qt::QueuedConnection);
            return;
        }
        FrigateClient *current = client();
        const std::optional<QUrl> url = current ? current->makeURL(path, query) : std::nullopt;
        download = new ImageDownload(current, url, std::nullopt, this);
        m_pending.insert(key, download);
        connect(download, &ImageDownload::finished, this, [this, key](const QImage &image) { finish(key, image); });
    }
    connect(download, &ImageDownload::finished, context, [done](const QImage &image) { done(image); });
}

void RemoteImageCache::finish(const QString &key, const QImage &image)
{
    m_pending.remove(key);
    if (!image.isNull())
        // Every entry costs at least a 300th of the byte cap, which caps the entries as well; an
        // image over the whole cap is refused by the cache.
        m_images.insert(key, new QImage(image), std::max<qsizetype>(image.sizeInBytes(), ByteCapacity / Capacity));
}
