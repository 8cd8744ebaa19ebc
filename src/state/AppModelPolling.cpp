// The model's background work: the polling loop, the two badges, marking reviews, aspect
// probes, and the per-server preferences they read and write.
#include "state/AppModel.h"
#include "client/PreferencesStore.h"

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <algorithm>

using namespace std::chrono_literals;

namespace {
constexpr auto PollInterval = 5s;
constexpr auto UnseenRefetchDelay = 2s;
constexpr int SlowPollEvery = 6;
constexpr int LogBadgeTail = 300;
constexpr int MarkChunkSize = 200;
constexpr int MarkAllPageSize = 500;
constexpr int MarkAllMaxPages = 20;
constexpr qint64 AspectProbeAgeSeconds = 120;

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

double nowSeconds()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}
} // namespace

// --- Polling ---

void AppModel::startPolling()
{
    cancelPolling();
    m_pollStop = std::make_shared<StopToken>();
    pollLoop(m_pollStop);
}

void AppModel::cancelPolling()
{
    if (!m_pollStop)
        return;
    m_pollStop->stop();
    m_pollStop.reset();
}

QCoro::Task<> AppModel::pollLoop(std::shared_ptr<StopToken> stop)
{
    while (!stop->isStopped()) {
        co_await pollStats(stop);
        if (stop->isStopped())
            co_return;
        if (m_tick % SlowPollEvery == 0) {
            co_await pollUnseenCount(false, stop);
            if (stop->isStopped())
                co_return;
            co_await pollLogBadge(stop);
            if (stop->isStopped())
                co_return;
        }
        ++m_tick;
        PollingClock *clock = m_clock;
        co_await clock->sleep(std::chrono::milliseconds(PollInterval), stop);
    }
}

QCoro::Task<> AppModel::refreshStats()
{
    return pollStats(m_life);
}

QCoro::Task<> AppModel::pollStats(std::shared_ptr<StopToken> stop)
{
    auto stats = co_await FrigateApi::fetchStats(*m_client);
    if (stop->isStopped() || !stats)
        co_return;
    setStats(std::move(stats));
}

QCoro::Task<> AppModel::refreshUnseenCount(bool bypassCache)
{
    return pollUnseenCount(bypassCache, m_life);
}

QCoro::Task<> AppModel::pollUnseenCount(bool bypassCache, std::shared_ptr<StopToken> stop)
{
    const qint64 generation = m_unseenGeneration;
    const auto summary = co_await FrigateApi::fetchReviewSummary(*m_client, bypassCache);
    if (stop->isStopped() || !summary)
        co_return;
    // Marks sent while this request ran are not in its answer.
    if (generation != m_unseenGeneration)
        co_return;
    setUnseenCount(std::max(0, FrigateApi::unseenCount(*summary, m_settings.showDetections)));
}

QCoro::Task<> AppModel::refreshLogBadge()
{
    return pollLogBadge(m_life);
}

QCoro::Task<> AppModel::pollLogBadge(std::shared_ptr<StopToken> stop)
{
    const QString service = QStringLiteral("frigate");
    const QList<LogLine> lines = co_await FrigateApi::fetchLogs(*m_client, service, LogBadgeTail);
    if (stop->isStopped())
        co_return;
    // A failed read answers no lines; the badge keeps its value then.
    if (lines.isEmpty())
        co_return;
    const double seen = logSeenMarker(m_settings.id);
    const auto isNew = [seen](const LogLine &line) {
        return line.level >= LogLine::Level::Warning && line.date && line.date->toMSecsSinceEpoch() / 1000.0 > seen;
    };
    setStatusBadge(int(std::count_if(lines.begin(), lines.end(), isNew)));
}

void AppModel::markLogsSeen()
{
    m_preferences->setValue(StateKeys::serverPreference(QStringLiteral("logSeen"), m_settings.id), nowSeconds());
    setStatusBadge(0);
}

double AppModel::logSeenMarker(const QUuid &id) const
{
    bool ok = false;
    const double marker =
        m_preferences->value(StateKeys::serverPreference(QStringLiteral("logSeen"), id)).toDouble(&ok);
    return ok ? marker : 0.0;
}

// --- Server lists and marks ---

QCoro::Task<QList<LogLine>> AppModel::fetchLogs(QString service, int tail)
{
    return FrigateApi::fetchLogs(*m_client, std::move(service), tail);
}

QCoro::Task<Result<QList<ReviewItem>>> AppModel::fetchReviews(FrigateApi::ReviewQuery query)
{
    return FrigateApi::fetchReviews(*m_client, std::move(query));
}

QCoro::Task<QList<TrackedObject>> AppModel::fetchTrackedObjects(ReviewItem item)
{
    return FrigateApi::fetchTrackedObjects(*m_client, std::move(item), m_cameras);
}

QCoro::Task<> AppModel::markReviewed(QStringList ids, bool reviewed)
{
    if (ids.isEmpty())
        co_return;
    ++m_unseenGeneration;
    const auto life = m_life;
    for (qsizetype from = 0; from < ids.size(); from += MarkChunkSize) {
        // A failed chunk is left for the next marking; the others still go out.
        const QStringList chunk = ids.mid(from, MarkChunkSize);
        co_await FrigateApi::markReviewedChunk(*m_client, chunk, reviewed);
        if (life->isStopped())
            co_return;
    }
    bumpReviewRevision();
    refetchUnseenAfterMarking();
}

QCoro::Task<> AppModel::refetchUnseenAfterMarking()
{
    const auto life = m_life;
    PollingClock *clock = m_clock;
    co_await clock->sleep(std::chrono::milliseconds(UnseenRefetchDelay), life);
    if (life->isStopped())
        co_return;
    // The server caches summaries for a few seconds; this answer must include the marks.
    co_await refreshUnseenCount(true);
}

QCoro::Task<> AppModel::markAllReviewed()
{
    const auto life = m_life;
    QStringList ids;
    FrigateApi::ReviewQuery query;
    query.reviewed = false;
    query.limit = MarkAllPageSize;
    for (int page = 0; page < MarkAllMaxPages; ++page) {
        const auto items = co_await fetchReviews(query);
        if (life->isStopped())
            co_return;
        if (!items)
            break;
        for (const ReviewItem &item : items.value())
            ids.append(item.id);
        if (items.value().size() != MarkAllPageSize)
            break;
        query.before = items.value().last().start_time;
    }
    const bool reviewed = true;
    co_await markReviewed(ids, reviewed);
}

// --- Aspect ratios ---

QCoro::Task<> AppModel::refreshAspects(bool force)
{
    if (force)
        setAspects({});
    const auto life = m_life;
    const QUuid id = m_settings.id;
    const qint64 time = QDateTime::currentSecsSinceEpoch() - AspectProbeAgeSeconds;
    const QList<CameraInfo> cameras = m_cameras;
    bool added = false;
    for (const CameraInfo &camera : cameras) {
        if (m_aspects.contains(camera.name))
            continue;
        const auto ratio = co_await FrigateApi::fetchAspect(*m_client, camera.name, time);
        // The answers belong to the server they were asked of.
        if (life->isStopped() || m_settings.id != id)
            co_return;
        if (!ratio)
            continue;
        QMap<QString, double> aspects = m_aspects;
        aspects.insert(camera.name, *ratio);
        setAspects(aspects);
        added = true;
    }
    if (!added)
        co_return;
    QVariantMap stored;
    for (auto it = m_aspects.begin(); it != m_aspects.end(); ++it)
        stored.insert(it.key(), it.value());
    m_preferences->setValue(StateKeys::serverPreference(QStringLiteral("aspects"), id), stored);
}

QMap<QString, double> AppModel::storedAspects(const QUuid &id) const
{
    const QVariantMap stored =
        m_preferences->value(StateKeys::serverPreference(QStringLiteral("aspects"), id)).toMap();
    QMap<QString, double> aspects;
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        if (!isNumber(it.value()))
            return {};
        aspects.insert(it.key(), it.value().toDouble());
    }
    return aspects;
}

// --- Camera order ---

std::optional<CameraInfo> AppModel::cameraNamed(const QString &name) const
{
    const auto found = std::find_if(m_cameras.begin(), m_cameras.end(),
                                    [&name](const CameraInfo &camera) { return camera.name == name; });
    return found == m_cameras.end() ? std::nullopt : std::optional(*found);
}

QStringList AppModel::storedCameraOrder(const QUuid &id) const
{
    return m_preferences->value(StateKeys::serverPreference(QStringLiteral("cameraOrder"), id)).toStringList();
}

QList<CameraInfo> AppModel::applyCameraOrder(QList<CameraInfo> cameras) const
{
    return sortedCameras(std::move(cameras), storedCameraOrder(m_settings.id));
}

QList<CameraInfo> AppModel::sortedCameras(QList<CameraInfo> cameras, const QStringList &order)
{
    QHash<QString, qsizetype> position;
    for (qsizetype index = 0; index < order.size(); ++index) {
        if (!position.contains(order.at(index)))
            position.insert(order.at(index), index);
    }
    const qsizetype unlisted = order.size();
    const auto positionOf = [&](const CameraInfo &camera) { return position.value(camera.name, unlisted); };

    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(cameras.begin(), cameras.end(), [&](const CameraInfo &a, const CameraInfo &b) {
        if (!order.isEmpty() && positionOf(a) != positionOf(b))
            return positionOf(a) < positionOf(b);
        if (a.uiOrder != b.uiOrder)
            return a.uiOrder < b.uiOrder;
        return collator.compare(a.friendlyName, b.friendlyName) < 0;
    });
    return cameras;
}

void AppModel::setCameraOrder(const QList<CameraInfo> &cameras)
{
    QStringList names;
    for (const CameraInfo &camera : cameras)
        names.append(camera.name);
    m_preferences->setValue(StateKeys::serverPreference(QStringLiteral("cameraOrder"), m_settings.id), names);
    setCameras(cameras);
}

void AppModel::setCameraOrder(const QStringList &names)
{
    QList<CameraInfo> ordered;
    for (const QString &name : names) {
        if (const auto camera = cameraNamed(name))
            ordered.append(*camera);
    }
    // Cameras the caller left out keep their places after the named ones instead of vanishing.
    for (const CameraInfo &camera : std::as_const(m_cameras)) {
        if (!names.contains(camera.name))
            ordered.append(camera);
    }
    setCameraOrder(ordered);
}
