#pragma once
#include "client/WireRecords.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class AppModel;

// The Cameras tab and the live screen's picker: the grid's column count, which cameras are not
// sending pictures, whether the server has none, and the menu's "Reload cameras". GUI thread only.
class CamerasViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    // Names of the cameras that the statistics report at 0 frames per second or less.
    Q_PROPERTY(QStringList unavailableCameras READ unavailableCameras NOTIFY unavailableCamerasChanged)
    Q_PROPERTY(bool reloading READ reloading NOTIFY reloadingChanged)
    // Signed in and the server's configuration names no cameras; false while it is still loading
    // or failed, when there is nothing to tell yet.
    Q_PROPERTY(bool noCameras READ noCameras NOTIFY noCamerasChanged)

public:
    static constexpr double ColumnWidth = 215;
    static constexpr int MinColumns = 2;
    static constexpr int MaxColumns = 5;

    explicit CamerasViewModel(QObject *parent = nullptr);
    ~CamerasViewModel() override;

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    QStringList unavailableCameras() const { return m_unavailable; }
    bool reloading() const { return m_reloading; }
    bool noCameras() const { return m_noCameras; }

    // Columns for a grid area `width` pixels wide.
    Q_INVOKABLE static int columnsFor(double width);
    // A camera counts as sending pictures unless statistics list it at 0 fps or less: with no
    // statistics, or none for the camera, it does.
    static bool sendsPictures(const std::optional<StatsSnapshot> &stats, const QString &camera);
    // Reads the configuration again and then probes every camera's aspect ratio afresh; a
    // failure ends it quietly.
    Q_INVOKABLE void reloadCameras();

signals:
    void appModelChanged();
    void unavailableCamerasChanged();
    void reloadingChanged();
    void noCamerasChanged();

private:
    void updateUnavailable();
    void updateNoCameras();
    QCoro::Task<> reloadTask();
    void setReloading(bool reloading);

    QPointer<AppModel> m_app;
    QStringList m_unavailable;
    bool m_reloading = false;
    bool m_noCameras = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
