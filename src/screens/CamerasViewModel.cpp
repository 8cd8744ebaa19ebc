#include "screens/CamerasViewModel.h"

#include "client/Logging.h"
#include "state/AppModel.h"

#include <algorithm>
#include <cmath>

CamerasViewModel::CamerasViewModel(QObject *parent)
    : QObject(parent)
{ }

CamerasViewModel::~CamerasViewModel()
{
    *m_alive = false;
}

void CamerasViewModel::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        connect(m_app, &AppModel::statsChanged, this, &CamerasViewModel::updateUnavailable);
        connect(m_app, &AppModel::camerasChanged, this, &CamerasViewModel::updateUnavailable);
        connect(m_app, &AppModel::camerasChanged, this, &CamerasViewModel::updateNoCameras);
        // The configuration is in before sign-in completes, so signed in means it has loaded.
        connect(m_app, &AppModel::isLoggedInChanged, this, &CamerasViewModel::updateNoCameras);
    }
    emit appModelChanged();
    updateUnavailable();
    updateNoCameras();
}

int CamerasViewModel::columnsFor(double width)
{
    if (!std::isfinite(width))
        return MinColumns;
    return int(std::clamp(std::trunc(width / ColumnWidth), double(MinColumns), double(MaxColumns)));
}

bool CamerasViewModel::sendsPictures(const std::optional<StatsSnapshot> &stats, const QString &camera)
{
    if (!stats)
        return true;
    const auto entry = stats->cameras.constFind(camera);
    return entry == stats->cameras.cend() || entry->fps > 0;
}

void CamerasViewModel::updateUnavailable()
{
    QStringList unavailable;
    if (m_app) {
        for (const CameraInfo &camera : m_app->cameras()) {
            if (!sendsPictures(m_app->stats(), camera.name))
                unavailable.append(camera.name);
        }
    }
    if (unavailable == m_unavailable)
        return;
    m_unavailable = unavailable;
    emit unavailableCamerasChanged();
}

void CamerasViewModel::updateNoCameras()
{
    const bool none = m_app && m_app->isLoggedIn() && m_app->cameras().isEmpty();
    if (none == m_noCameras)
        return;
    m_noCameras = none;
    emit noCamerasChanged();
}

void CamerasViewModel::reloadCameras()
{
    if (!m_app || m_reloading)
        return;
    reloadTask();
}

QCoro::Task<> CamerasViewModel::reloadTask()
{
    const auto alive = m_alive;
    QPointer<AppModel> app = m_app;
    setReloading(true);
    const Status loaded = co_await app->loadConfig();
    if (loaded && !loaded->isCancellation())
        qCInfo(lcScreens) << "cameras not reloaded:" << loaded->message();
    if (!loaded && app) {
        const bool force = true;
        co_await app->refreshAspects(force);
    }
    if (*alive)
        setReloading(false);
}

void CamerasViewModel::setReloading(bool reloading)
{
    if (m_reloading == reloading)
        return;
    m_reloading = reloading;
    emit reloadingChanged();
}
