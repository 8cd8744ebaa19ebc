#include "screens/CameraLiveViewModel.h"

#include "client/FilePublishing.h"
#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "screens/CamerasViewModel.h"
#include "screens/DesktopFiles.h"
#include "state/AppModel.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int ToastMs = 2000;
// A toast about a saved file stays long enough to reach its "Show in folder" button.
constexpr int FileToastMs = 6000;
constexpr int HideMs = 4000;

// Runs on a worker thread. The server's bytes are kept as they came (no second JPEG encoding);
// they only have to decode as a picture. Answers the final path.
Result<QString> writePicture(const QByteArray &bytes, const QString &baseName)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (reader.read().isNull())
        return FrigateError::decoding(QStringLiteral("latest.jpg"));
    const QString name =
        baseName + QLatin1Char('.') + (format == "jpeg" ? QStringLiteral("jpg") : QString::fromLatin1(format));
    return writeDurably(DesktopFiles::snapshotFolder(), name,
                        [&bytes](QIODevice &out) { return out.write(bytes) == bytes.size(); });
}

} // namespace

CameraLiveViewModel::CameraLiveViewModel(QObject *parent)
    : QObject(parent)
{
    m_toastTimer.setSingleShot(true);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] { showToast({}); });
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(HideMs);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] {
        if (m_immersive)
            setChromeVisible(false);
    });
    connect(this, &CameraLiveViewModel::streamChanged, this, &CameraLiveViewModel::statusLineChanged);
    connect(this, &CameraLiveViewModel::liveStatusChanged, this, &CameraLiveViewModel::statusLineChanged);
    connect(this, &CameraLiveViewModel::cameraChanged, this, &CameraLiveViewModel::canSaveSnapshotChanged);
}

CameraLiveViewModel::~CameraLiveViewModel()
{
    *m_alive = false;
}

void CameraLiveViewModel::setAppModel(AppModel *model)
{
    if (m_app == model)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        connect(m_app, &AppModel::statsChanged, this, &CameraLiveViewModel::canSaveSnapshotChanged);
        // A reloaded configuration may name other streams for the camera.
        connect(m_app, &AppModel::camerasChanged, this, &CameraLiveViewModel::cameraChanged);
        connect(m_app, &AppModel::camerasChanged, this, &CameraLiveViewModel::streamChanged);
    }
    emit appModelChanged();
    emit cameraChanged();
    emit streamChanged();
}

void CameraLiveViewModel::componentComplete()
{
    m_parsing = false;
    if (!m_pendingCamera.isEmpty())
        showCamera(std::exchange(m_pendingCamera, QString()), m_camera.isEmpty());
}

void CameraLiveViewModel::setCameraName(const QString &name)
{
    // The substream preference needs the model, which QML may set after the camera.
    if (m_parsing) {
        m_pendingCamera = name;
        return;
    }
    showCamera(name, m_camera.isEmpty());
}

void CameraLiveViewModel::select(const QString &name)
{
    showCamera(name, false);
}

void CameraLiveViewModel::showCamera(const QString &name, bool initial)
{
    if (name.isEmpty() || name == m_camera)
        return;
    m_camera = name;
    if (initial)
        m_useSub = m_app && m_app->settings().liveUsesSubstream && hasSubStream();
    else if (!hasSubStream())
        m_useSub = false;
    m_status = Loading;
    m_liveText.clear();
    emit cameraChanged();
    emit streamChanged();
    emit liveStatusChanged();
}

void CameraLiveViewModel::step(int delta)
{
    if (!m_app)
        return;
    const QList<CameraInfo> &cameras = m_app->cameras();
    const auto current = std::find_if(cameras.cbegin(), cameras.cend(),
                                      [this](const CameraInfo &camera) { return camera.name == m_camera; });
    if (current == cameras.cend())
        return;
    const qsizetype count = cameras.size();
    const qsizetype position = current - cameras.cbegin();
    select(cameras.at(((position + delta) % count + count) % count).name);
}

std::optional<CameraInfo> CameraLiveViewModel::camera() const
{
    return m_app ? m_app->cameraNamed(m_camera) : std::nullopt;
}

QString CameraLiveViewModel::friendlyName() const
{
    const auto shown = camera();
    return shown && !shown->friendlyName.isEmpty() ? shown->friendlyName : m_camera;
}

bool CameraLiveViewModel::hasSubStream() const
{
    const auto shown = camera();
    return shown && shown->subStream && !shown->subStream->isEmpty();
}

QString CameraLiveViewModel::streamName() const
{
    const auto shown = camera();
    if (!shown)
        return m_camera;
    if (useSub())
        return *shown->subStream;
    return shown->mainStream.isEmpty() ? m_camera : shown->mainStream;
}

void CameraLiveViewModel::setUseSub(bool useSub)
{
    const bool before = this->useSub();
    m_useSub = useSub && hasSubStream();
    if (this->useSub() == before)
        return;
    m_status = Loading;
    m_liveText.clear();
    emit streamChanged();
    emit liveStatusChanged();
}

void CameraLiveViewModel::setMuted(bool muted)
{
    if (m_muted == muted)
        return;
    m_muted = muted;
    emit mutedChanged();
}

void CameraLiveViewModel::setLiveStatus(int status)
{
    if (m_status == status || status < Loading || status > Reconnecting)
        return;
    m_status = status;
    emit liveStatusChanged();
}

void CameraLiveViewModel::setLiveText(const QString &text)
{
    if (m_liveText == text)
        return;
    m_liveText = text;
    emit liveStatusChanged();
}

QString CameraLiveViewModel::statusLine() const
{
    if (m_status == Reconnecting)
        return tr("Reconnecting…");
    if (m_status == Error)
        return m_liveText;
    const QString quality = useSub() ? tr("Reduced quality") : tr("High quality");
    if (m_status != Playing)
        return quality;
    //: Appended to the stream quality: how the picture arrives (MJPEG frames, or the live video stream).
    return quality + (m_liveText == QLatin1String("mjpeg") ? tr(" · MJPEG") : tr(" · live"));
}

void CameraLiveViewModel::toggleImmersive()
{
    setImmersive(!m_immersive);
}

bool CameraLiveViewModel::back()
{
    if (!m_immersive)
        return true;
    setImmersive(false);
    return false;
}

void CameraLiveViewModel::setImmersive(bool immersive)
{
    m_hideTimer.stop();
    setChromeVisible(true);
    if (m_immersive != immersive) {
        m_immersive = immersive;
        emit immersiveChanged();
    }
    if (m_immersive)
        m_hideTimer.start();
}

void CameraLiveViewModel::showChrome()
{
    setChromeVisible(true);
    if (m_immersive)
        m_hideTimer.start();
}

void CameraLiveViewModel::setChromeVisible(bool visible)
{
    if (m_chromeVisible == visible)
        return;
    m_chromeVisible = visible;
    emit chromeVisibleChanged();
}

bool CameraLiveViewModel::canSaveSnapshot() const
{
    return m_app && !m_camera.isEmpty() && CamerasViewModel::sendsPictures(m_app->stats(), m_camera);
}

void CameraLiveViewModel::saveSnapshot()
{
    if (!m_app || m_camera.isEmpty() || m_saving)
        return;
    if (!canSaveSnapshot()) {
        showToast(tr("%1 is not sending pictures: there is no snapshot to save").arg(friendlyName()));
        return;
    }
    saveSnapshotTask(m_camera);
}

QCoro::Task<> CameraLiveViewModel::saveSnapshotTask(QString camera)
{
    const auto alive = m_alive;
    m_saving = true;
    ApiRequest request;
    request.path = QStringLiteral("api/") + camera + QStringLiteral("/latest.jpg");
    request.maxBytes = BodyLimit::Image;
    const Result<QByteArray> body = co_await m_app->client()->request(request);
    if (!*alive)
        co_return;
    Result<QString> saved = body ? Result<QString>(QString()) : Result<QString>(body.error());
    if (body) {
        const QByteArray bytes = body.value();
        const QString baseName = camera + QLatin1Char('_') + snapshotTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
        saved = co_await QtConcurrent::run(writePicture, bytes, baseName);
        if (!*alive)
            co_return;
    }
    m_saving = false;
    if (!saved) {
        if (!saved.error().isCancellation()) {
            qCWarning(lcScreens) << "snapshot not saved:" << saved.error().message();
            showToast(tr("Couldn't save the snapshot"));
        }
        co_return;
    }
    const QString folder = QFileInfo(saved.value()).absolutePath();
    showToast(tr("Snapshot saved to %1").arg(DesktopFiles::displayPath(folder)), saved.value());
}

void CameraLiveViewModel::showToast(const QString &text, const QString &path)
{
    m_toast = text;
    m_toastPath = text.isEmpty() ? QString() : path;
    emit toastChanged();
    if (text.isEmpty())
        m_toastTimer.stop();
    else
        m_toastTimer.start(path.isEmpty() ? ToastMs : FileToastMs);
}
