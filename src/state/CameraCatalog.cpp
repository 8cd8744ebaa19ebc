#include "state/CameraCatalog.h"
#include "client/FrigateClient.h"
#include "state/PollingClock.h"
#include "client/PreferencesStore.h"
#include "state/ServerList.h"

#include <QCollator>
#include <QDateTime>
#include <algorithm>

namespace {
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

QString preferenceKey(const char *name, const QUuid &id)
{
    return StateKeys::serverPreference(QLatin1String(name), id);
}
} // namespace

CameraCatalog::CameraCatalog(PreferencesStore *preferences, FrigateClient *client, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_client(client)
    , m_life(std::make_shared<StopToken>())
    , m_cameras(this)
    , m_groups(this)
{ }

CameraCatalog::~CameraCatalog()
{
    m_life->stop();
}

QUuid CameraCatalog::serverId() const
{
    return m_client->settings().id;
}

QVariantMap CameraCatalog::aspectValues() const
{
    QVariantMap values;
    for (auto it = m_aspects.begin(); it != m_aspects.end(); ++it)
        values.insert(it.key(), it.value());
    return values;
}

void CameraCatalog::setCameras(const QList<CameraInfo> &cameras)
{
    if (m_cameras.records() == cameras)
        return;
    m_cameras.setRecords(cameras);
    emit camerasChanged();
}

void CameraCatalog::setGroups(const QList<CameraGroup> &groups)
{
    if (m_groups.records() == groups)
        return;
    m_groups.setRecords(groups);
    emit groupsChanged();
}

void CameraCatalog::setAspects(const QMap<QString, double> &aspects)
{
    if (m_aspects == aspects)
        return;
    m_aspects = aspects;
    emit aspectsChanged();
}

void CameraCatalog::setConfig(const FrigateApi::ServerConfig &config)
{
    setGroups(config.groups);
    setCameras(applyCameraOrder(config.cameras));
}

void CameraCatalog::clear()
{
    setCameras({});
    setGroups({});
}

void CameraCatalog::loadAspects(const QUuid &id)
{
    const QVariantMap stored = m_preferences->value(preferenceKey("aspects", id)).toMap();
    QMap<QString, double> aspects;
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        if (!isNumber(it.value())) {
            aspects.clear();
            break;
        }
        aspects.insert(it.key(), it.value().toDouble());
    }
    setAspects(aspects);
}

QCoro::Task<> CameraCatalog::refreshAspects(bool force)
{
    if (force)
        setAspects({});
    const auto life = m_life;
    const QUuid id = serverId();
    const qint64 time = QDateTime::currentSecsSinceEpoch() - AspectProbeAgeSeconds;
    const QList<CameraInfo> cameras = m_cameras.records();
    bool added = false;
    for (const CameraInfo &camera : cameras) {
        if (m_aspects.contains(camera.name))
            continue;
        const auto ratio = co_await FrigateApi::fetchAspect(*m_client, camera.name, time);
        // The answers belong to the server they were asked of.
        if (life->isStopped() || serverId() != id)
            co_return;
        if (!ratio)
            continue;
        QMap<QString, double> aspects = m_aspects;
        aspects.insert(camera.name, *ratio);
        setAspects(aspects);
        added = true;
    }
    if (added)
        m_preferences->setValue(preferenceKey("aspects", id), aspectValues());
}

std::optional<CameraInfo> CameraCatalog::cameraNamed(const QString &name) const
{
    const QList<CameraInfo> &all = cameras();
    const auto found =
        std::find_if(all.begin(), all.end(), [&name](const CameraInfo &camera) { return camera.name == name; });
    return found == all.end() ? std::nullopt : std::optional(*found);
}

QList<CameraInfo> CameraCatalog::applyCameraOrder(QList<CameraInfo> cameras) const
{
    const QStringList order = m_preferences->value(preferenceKey("cameraOrder", serverId())).toStringList();
    return sortedCameras(std::move(cameras), order);
}

QList<CameraInfo> CameraCatalog::sortedCameras(QList<CameraInfo> cameras, const QStringList &order)
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

void CameraCatalog::setCameraOrder(const QList<CameraInfo> &cameras)
{
    QStringList names;
    for (const CameraInfo &camera : cameras)
        names.append(camera.name);
    m_preferences->setValue(preferenceKey("cameraOrder", serverId()), names);
    setCameras(cameras);
}

void CameraCatalog::setCameraOrder(const QStringList &names)
{
    QList<CameraInfo> ordered;
    for (const QString &name : names) {
        if (const auto camera = cameraNamed(name))
            ordered.append(*camera);
    }
    for (const CameraInfo &camera : cameras()) {
        if (!names.contains(camera.name))
            ordered.append(camera);
    }
    setCameraOrder(ordered);
}
