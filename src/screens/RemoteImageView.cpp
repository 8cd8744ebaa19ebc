#include "screens/RemoteImageView.h"

#include "screens/RemoteImageCache.h"

#include <QTimer>

RemoteImageView::RemoteImageView(QQuickItem *parent) : ImageCanvas(parent)
{
    connect(RemoteImageCache::instance(), &RemoteImageCache::serverChanged, this, &RemoteImageView::reload);
}

void RemoteImageView::setPath(const QString &path)
{
    if (m_path == path)
        return;
    m_path = path;
    emit pathChanged();
    scheduleLoad();
}

void RemoteImageView::setQuery(const QVariantList &query)
{
    if (m_query == query)
        return;
    m_query = query;
    emit queryChanged();
    scheduleLoad();
}

QueryItems RemoteImageView::queryItems(const QVariantList &query)
{
    QueryItems items;
    for (const QVariant &entry : query) {
        const QVariantList pair = entry.toList();
        if (pair.isEmpty())
            continue;
        items.append({pair.value(0).toString(), pair.value(1).toString()});
    }
    return items;
}

void RemoteImageView::componentComplete()
{
    ImageCanvas::componentComplete();
    scheduleLoad();
}

void RemoteImageView::itemChange(ItemChange change, const ItemChangeData &value)
{
    ImageCanvas::itemChange(change, value);
    if (change == ItemVisibleHasChanged || change == ItemSceneChange)
        scheduleLoad();
}

// Path and query are often set together; one load follows both.
void RemoteImageView::scheduleLoad()
{
    if (m_loadScheduled || !isComponentComplete())
        return;
    m_loadScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_loadScheduled = false;
        load();
    });
}

// Whatever was shown or asked for belongs to the server before; an answer still on its way is
// ignored through the generation.
void RemoteImageView::reload()
{
    ++m_generation;
    m_loadedKey.clear();
    setImage(QImage());
    setFailed(false);
    scheduleLoad();
}

void RemoteImageView::load()
{
    if (!isVisible() || !window() || m_path.isEmpty())
        return;
    const QueryItems items = queryItems(m_query);
    RemoteImageCache *cache = RemoteImageCache::instance();
    const QString key = cache->cacheKey(m_path, items);
    if (key == m_loadedKey)
        return;
    m_loadedKey = key;
    const int generation = ++m_generation;

    const QImage cached = cache->cached(key);
    if (!cached.isNull()) {
        setFailed(false);
        setImage(cached);
        return;
    }
    setImage(QImage());
    setFailed(false);
    cache->load(m_path, items, this, [this, generation](const QImage &image) {
        if (generation != m_generation)
            return;
        setImage(image);
        setFailed(image.isNull());
    });
}

void RemoteImageView::setFailed(bool failed)
{
    if (m_failed == failed)
        return;
    m_failed = failed;
    emit failedChanged();
}
