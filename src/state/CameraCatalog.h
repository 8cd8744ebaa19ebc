#pragma once
#include "client/FrigateApi.h"
#include "client/WireRecords.h"
#include "state/CameraListModels.h"

#include <QMap>
#include <QObject>
#include <QUuid>
#include <QVariantMap>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class FrigateClient;
class PreferencesStore;
class StopToken;

// The current server's cameras and groups, the user's camera order and the cameras' aspect
// ratios, with the per-server preferences that keep them.
class CameraCatalog : public QObject
{
    Q_OBJECT
public:
    CameraCatalog(PreferencesStore *preferences, FrigateClient *client, QObject *parent = nullptr);
    ~CameraCatalog() override;

    CameraListModel *cameraModel() { return &m_cameras; }
    GroupListModel *groupModel() { return &m_groups; }
    const QList<CameraInfo> &cameras() const { return m_cameras.records(); }
    const QList<CameraGroup> &groups() const { return m_groups.records(); }
    const QMap<QString, double> &aspects() const { return m_aspects; }
    QVariantMap aspectValues() const;

    // The groups, then the cameras in the stored order.
    void setConfig(const FrigateApi::ServerConfig &config);
    void clear();
    // The stored aspect ratios of server `id` (none when unreadable).
    void loadAspects(const QUuid &id);
    QCoro::Task<> refreshAspects(bool force);

    std::optional<CameraInfo> cameraNamed(const QString &name) const;
    void setCameraOrder(const QList<CameraInfo> &cameras);
    // Cameras left out of `names` keep their places after the named ones.
    void setCameraOrder(const QStringList &names);
    QList<CameraInfo> applyCameraOrder(QList<CameraInfo> cameras) const;
    // The ordering rule: stored order first, then uiOrder, then friendly name.
    static QList<CameraInfo> sortedCameras(QList<CameraInfo> cameras, const QStringList &order);

signals:
    void camerasChanged();
    void groupsChanged();
    void aspectsChanged();

private:
    void setCameras(const QList<CameraInfo> &cameras);
    void setGroups(const QList<CameraGroup> &groups);
    void setAspects(const QMap<QString, double> &aspects);
    QUuid serverId() const;

    PreferencesStore *m_preferences;
    FrigateClient *m_client;
    std::shared_ptr<StopToken> m_life;
    CameraListModel m_cameras;
    GroupListModel m_groups;
    QMap<QString, double> m_aspects;
};
