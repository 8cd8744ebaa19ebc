#include "screens/LiveSnapshotView.h"

#include "screens/ImageDownload.h"
#include "screens/RemoteImageCache.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

LiveSnapshotView::LiveSnapshotView(QQuickItem *parent) : ImageCanvas(parent)
{
    m_sleep.setSingleShot(true);
    m_sleep.setTimerType(Qt::CoarseTimer);
    connect(&m_sleep, &QTimer::timeout, this, &LiveSnapshotView::fetch);
    // A picture of the server before, or one still on its way, must not stand for the new one's
    // camera of the same name.
    connect(RemoteImageCache::instance(), &RemoteImageCache::serverChanged, this, &LiveSnapshotView::restart);
}

int LiveSnapshotView::intervalMs(double refreshSeconds)
{
    const double seconds = std::isfinite(refreshSeconds) ? std::max(refreshSeconds, MinimumInterval) : MinimumInterval;
    return int(std::lround(seconds * 1000));
}

QueryItems LiveSnapshotView::latestQuery(int pixelHeight, qint64 nowMs)
{
    return ServerUrls::heightQuery(pixelHeight) + QueryItems{{QStringLiteral("t"), QString::number(nowMs)}};
}

void LiveSnapshotView::setCamera(const QString &camera)
{
    if (m_camera == camera)
        return;
    m_camera = camera;
    emit cameraChanged();
    // Another camera's picture must not stand in for this one.
    restart();
}

void LiveSnapshotView::restart()
{
    stop();
    setImage(QImage());
    updateRunning();
}

void LiveSnapshotView::setPixelHeight(int height)
{
    if (m_pixelHeight == height)
        return;
    m_pixelHeight = height;
    emit pixelHeightChanged();
}

void LiveSnapshotView::setRefreshSeconds(double seconds)
{
    if (m_refreshSeconds == seconds)
        return;
    m_refreshSeconds = seconds;
    emit refreshSecondsChanged();
}

void LiveSnapshotView::componentComplete()
{
    ImageCanvas::componentComplete();
    updateRunning();
}

void LiveSnapshotView::itemChange(ItemChange change, const ItemChangeData &value)
{
    ImageCanvas::itemChange(change, value);
    if (change == ItemVisibleHasChanged || change == ItemSceneChange)
        updateRunning();
}

bool LiveSnapshotView::shouldRun() const
{
    return isComponentComplete() && isVisible() && window() && !m_camera.isEmpty();
}

void LiveSnapshotView::updateRunning()
{
    if (!shouldRun()) {
        stop();
        return;
    }
    if (!m_download && !m_sleep.isActive())
        fetch();
}

void LiveSnapshotView::stop()
{
    m_sleep.stop();
    ++m_generation;
    delete m_download;
}

void LiveSnapshotView::fetch()
{
    if (!shouldRun())
        return;
    const QueryItems query = latestQuery(m_pixelHeight, QDateTime::currentMSecsSinceEpoch());
    const int generation = ++m_generation;
    FrigateClient *client = RemoteImageCache::client();
    const QString path = QStringLiteral("api/") + m_camera + QStringLiteral("/latest.jpg");
    m_download = new ImageDownload(client, client ? client->makeURL(path, query) : std::nullopt, RequestTimeout, this);
    connect(m_download, &ImageDownload::finished, this, [this, generation](const QImage &image) {
        if (generation == m_generation)
            onAnswer(image);
    });
}

void LiveSnapshotView::onAnswer(const QImage &image)
{
    m_download = nullptr;
    if (!image.isNull())
        setImage(image);
    if (shouldRun())
        m_sleep.start(intervalMs(m_refreshSeconds));
}
