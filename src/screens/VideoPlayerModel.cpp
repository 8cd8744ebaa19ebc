#include "screens/VideoPlayerModel.h"

#include "client/FilePublishing.h"
#include "client/FrigateApi.h"
#include "client/Logging.h"
#include "client/TextFormats.h"
#include "playback/VideoFrameConversion.h"
#include "screens/DesktopFiles.h"
#include "state/AppModel.h"

#include <QFileInfo>
#include <QImage>
#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace {

constexpr int ToastMs = 2000;
// A toast about a saved file stays long enough to reach its "Show in folder" button.
constexpr int FileToastMs = 6000;
constexpr int HideMs = 4000;

QDateTime localTime(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)));
}

QString fileStamp(double seconds)
{
    return localTime(seconds).toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

// Runs on a worker thread: converting and encoding a 4K picture takes longer than a frame.
Result<QString> writePng(const SharedFrame &picture, const QString &name)
{
    const QString folder = DesktopFiles::snapshotFolder();
    const QImage image = VideoFrameConversion::toBgra(picture.get());
    if (image.isNull())
        return FrigateError::localFile(name);
    return writeDurably(folder, name, [&image](QIODevice &out) { return image.save(&out, "PNG"); });
}

} // namespace

VideoPlayerModel::VideoPlayerModel(QObject *parent)
    : QObject(parent)
{
    m_toastTimer.setSingleShot(true);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] { showToast({}); });
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(HideMs);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] {
        if (m_controller.isPlaying() && !m_scrub && !m_controller.hasError())
            setControlsVisible(false);
    });
    connect(&m_controller, &PlayerController::currentTimeChanged, this, &VideoPlayerModel::positionChanged);
    connect(&m_controller, &PlayerController::durationChanged, this, &VideoPlayerModel::positionChanged);
    connect(&m_controller, &PlayerController::rateChanged, this, &VideoPlayerModel::rateLabelChanged);
    connect(&m_controller, &PlayerController::isPlayingChanged, this, &VideoPlayerModel::onPlayingChanged);
    connect(&m_controller, &PlayerController::finishedCountChanged, this, &VideoPlayerModel::onFinished);
    connect(&m_controller, &PlayerController::errorChanged, this, [this] {
        if (m_controller.hasError())
            setControlsVisible(true);
    });
}

VideoPlayerModel::~VideoPlayerModel()
{
    *m_alive = false;
}

void VideoPlayerModel::setAppModel(AppModel *model)
{
    if (model == m_app)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (model) {
        m_controller.setClient(model->client());
        m_controller.setMotionEnabled(model->showBoxes());
        connect(model, &AppModel::showBoxesChanged, this,
                [this] { m_controller.setMotionEnabled(m_app->showBoxes()); });
    }
    emit appModelChanged();
}

void VideoPlayerModel::setRequest(const PlayerRequest &request)
{
    if (request.id == m_request.id)
        return;
    m_request = request;
    emit requestChanged();
    if (m_active)
        loadCurrent();
}

void VideoPlayerModel::setInPane(bool inPane)
{
    if (inPane == m_inPane)
        return;
    m_inPane = inPane;
    emit inPaneChanged();
    scheduleHide();
}

const PlaybackItem *VideoPlayerModel::currentItem() const
{
    if (m_request.index < 0 || m_request.index >= m_request.items.size())
        return nullptr;
    return &m_request.items.at(m_request.index);
}

QString VideoPlayerModel::title() const
{
    const PlaybackItem *item = currentItem();
    return item ? item->cameraName : QString();
}

bool VideoPlayerModel::hasReview() const
{
    const PlaybackItem *item = currentItem();
    return item && item->review;
}

double VideoPlayerModel::position() const
{
    return m_scrub.value_or(m_controller.currentTime());
}

QString VideoPlayerModel::positionText() const
{
    return clockText(position());
}

QString VideoPlayerModel::totalText() const
{
    return clockText(m_controller.duration());
}

double VideoPlayerModel::shownWallTime() const
{
    return m_timeline.wallTime(position());
}

QString VideoPlayerModel::momentText() const
{
    return currentItem() ? mediumDateTimeFormat(localTime(shownWallTime())) : QString();
}

QString VideoPlayerModel::rateLabel() const
{
    const float rate = m_controller.rate();
    return rate == 0.5f ? QStringLiteral("½x") : QStringLiteral("%1x").arg(int(rate));
}

QVariant VideoPlayerModel::tracks() const
{
    return QVariant::fromValue(m_tracks);
}

void VideoPlayerModel::start()
{
    m_active = true;
    loadCurrent();
    scheduleHide();
}

void VideoPlayerModel::stop()
{
    m_active = false;
    ++m_generation;
    m_hideTimer.stop();
    m_controller.teardown();
}

void VideoPlayerModel::step(int delta)
{
    const int next = m_request.index + delta;
    if (next < 0 || next >= m_request.items.size())
        return;
    m_request.index = next;
    emit requestChanged();
    loadCurrent();
    emit indexReported(next);
}

void VideoPlayerModel::skip(double seconds)
{
    m_controller.seek(m_controller.currentTime() + seconds);
}

void VideoPlayerModel::scrub(double position)
{
    m_scrub = position;
    m_hideTimer.stop();
    emit positionChanged();
}

void VideoPlayerModel::endScrub(double position)
{
    m_controller.seek(position);
    m_scrub.reset();
    emit positionChanged();
    scheduleHide();
}

void VideoPlayerModel::loadCurrent()
{
    ++m_generation;
    m_scrub.reset();
    m_tracks.clear();
    emit tracksChanged();
    const PlaybackItem *item = currentItem();
    if (!item || !m_app)
        return;
    m_timeline = RecordingTimeline(std::trunc(item->start));
    m_segments.clear();
    emit positionChanged();
    applyReviewSideEffects();
    loadItem(m_generation, std::exchange(m_jumpTarget, std::nullopt));
}

// Without a target the picture comes first and the recording files follow; a target in wall time
// needs the files first, to know which media time shows it.
QCoro::Task<> VideoPlayerModel::loadItem(quint64 generation, std::optional<double> wallTarget)
{
    const auto alive = m_alive;
    const PlaybackItem item = *currentItem();
    FrigateClient *client = m_app->client();
    if (!wallTarget)
        m_controller.loadCurrent(client, m_request);
    const QList<RecordingSegment> segments = co_await fetchSegments(item);
    if (!*alive || generation != m_generation)
        co_return;
    m_segments = segments;
    // 0.16 trims the first file to the requested start (clipFrom); earlier versions play it whole.
    m_timeline =
        RecordingTimeline(segments, std::trunc(item.start), std::trunc(item.end), client->serverAtLeast(0, 16));
    emit positionChanged();
    if (!wallTarget)
        co_return;
    m_request.startOffset = m_timeline.mediaTime(*wallTarget);
    m_controller.loadCurrent(client, m_request);
    announceLanding(*wallTarget);
}

QCoro::Task<QList<RecordingSegment>> VideoPlayerModel::fetchSegments(PlaybackItem item)
{
    const double after = std::trunc(item.start);
    const double before = std::trunc(item.end);
    const auto segments = co_await FrigateApi::fetchRecordingSegments(*m_app->client(), item.camera, after, before);
    if (!segments) {
        // The picture still plays; its clock then counts from the item's start.
        qCInfo(lcScreens) << "recording files unknown:" << segments.error().message();
        co_return QList<RecordingSegment>{};
    }
    co_return segments.value();
}

void VideoPlayerModel::seekToWall(double wall)
{
    m_controller.seek(m_timeline.mediaTime(wall));
    announceLanding(wall);
}

void VideoPlayerModel::announceLanding(double wall)
{
    const double landed = m_timeline.wallTime(m_timeline.mediaTime(wall));
    if (landed > wall + 1)
        showToast(tr("Recording available from %1").arg(timeOfDayFormat(localTime(landed))));
}

void VideoPlayerModel::applyReviewSideEffects()
{
    PlaybackItem &item = m_request.items[m_request.index];
    if (!item.review)
        return;
    fetchTracks(*item.review);
    if (item.review->has_been_reviewed)
        return;
    // The request's copy remembers it, so coming back to this item does not mark it again.
    item.review->has_been_reviewed = true;
    m_app->markReviewed({item.review->id}, true);
}

QCoro::Task<> VideoPlayerModel::fetchTracks(ReviewItem review)
{
    const auto alive = m_alive;
    const QList<TrackedObject> tracks = co_await m_app->fetchTrackedObjects(review);
    if (!*alive)
        co_return;
    const PlaybackItem *item = currentItem();
    if (!item || !item->review || item->review->id != review.id)
        co_return;
    m_tracks = tracks;
    emit tracksChanged();
}

QVariantList VideoPlayerModel::timeOfDayShown() const
{
    const QTime time = localTime(shownWallTime()).time();
    return {time.hour(), time.minute(), time.second()};
}

void VideoPlayerModel::jumpToTimeOfDay(int secondsSinceMidnight)
{
    const PlaybackItem *item = currentItem();
    if (!item)
        return;
    // Calendar components, so a day with a daylight-saving change still lands on the clock time.
    const QDate day = localTime(item->start).date();
    const QTime time = QTime(0, 0).addSecs(std::clamp(secondsSinceMidnight, 0, 86399));
    const double target = QDateTime(day, time).toMSecsSinceEpoch() / 1000.0;
    const int found = timeJumpIndex(m_request.items, target);
    if (found < 0) {
        showToast(tr("No recording at that time"));
        return;
    }
    if (found == m_request.index) {
        seekToWall(target);
        m_controller.play();
        return;
    }
    m_jumpTarget = target;
    m_request.index = found;
    emit requestChanged();
    loadCurrent();
    emit indexReported(found);
}

void VideoPlayerModel::saveSnapshot()
{
    const PlaybackItem *item = currentItem();
    SharedFrame picture = m_controller.player().shownFrame();
    if (!item || !picture || m_controller.hasError()) {
        showToast(tr("Snapshot unavailable"));
        return;
    }
    saveSnapshotTask(std::move(picture), item->camera + QLatin1Char('_') + fileStamp(shownWallTime()) + QStringLiteral(".png"));
}

QCoro::Task<> VideoPlayerModel::saveSnapshotTask(SharedFrame picture, QString name)
{
    const auto alive = m_alive;
    const Result<QString> saved = co_await QtConcurrent::run(writePng, picture, name);
    if (!*alive)
        co_return;
    if (!saved) {
        qCWarning(lcScreens) << "snapshot not saved:" << saved.error().message();
        showToast(tr("Couldn't save the snapshot"));
        co_return;
    }
    const QString folder = QFileInfo(saved.value()).absolutePath();
    showToast(tr("Snapshot saved to %1").arg(DesktopFiles::displayPath(folder)), saved.value());
}

void VideoPlayerModel::downloadClip()
{
    const PlaybackItem *item = currentItem();
    if (m_downloading || !item || !m_app)
        return;
    m_downloading = true;
    emit downloadingChanged();
    showToast(tr("Preparing clip…"));
    const QString path = clipPath(*item);
    // Named after its first picture: the first recorded moment at or after the item's start.
    const RecordingTimeline clip(m_segments, std::trunc(item->start), std::trunc(item->end), true);
    const double first = m_segments.isEmpty() ? item->start : clip.wallStart();
    downloadClipTask(path, item->camera + QLatin1Char('_') + fileStamp(first) + QStringLiteral(".mp4"));
}

QCoro::Task<> VideoPlayerModel::downloadClipTask(QString path, QString name)
{
    const auto alive = m_alive;
    const QString folder = DesktopFiles::downloadFolder();
    // 0.15/0.16 answer 200 with an empty body when nothing was recorded: only an MP4 counts.
    const FrigateClient::HeadCheck isMp4 = looksLikeMp4;
    const Result<QString> saved = co_await m_app->client()->downloadToFile(path, folder, name, isMp4);
    if (!*alive)
        co_return;
    m_downloading = false;
    emit downloadingChanged();
    if (!saved) {
        qCWarning(lcScreens) << "clip not saved:" << saved.error().message();
        showToast(tr("Download failed"));
        co_return;
    }
    showToast(tr("Clip saved to %1").arg(DesktopFiles::displayPath(folder)), saved.value());
}

void VideoPlayerModel::markUnseen()
{
    const PlaybackItem *item = currentItem();
    if (!item || !item->review || !m_app)
        return;
    markUnseenTask(item->review->id);
}

QCoro::Task<> VideoPlayerModel::markUnseenTask(QString id)
{
    const auto alive = m_alive;
    const QStringList ids{id};
    co_await m_app->markReviewed(ids, false);
    if (*alive)
        showToast(tr("Marked as unseen"));
}

PlayerRequest VideoPlayerModel::fullScreenRequest()
{
    if (m_controller.isPlaying())
        m_controller.togglePlay();
    PlayerRequest request;
    request.items = m_request.items;
    request.index = m_request.index;
    request.startOffset = m_controller.currentTime();
    request.continuous = false;
    return request;
}

void VideoPlayerModel::showControls()
{
    setControlsVisible(true);
    scheduleHide();
}

void VideoPlayerModel::showToast(const QString &text, const QString &path)
{
    m_toast = text;
    m_toastPath = text.isEmpty() ? QString() : path;
    emit toastChanged();
    if (text.isEmpty())
        m_toastTimer.stop();
    else
        m_toastTimer.start(path.isEmpty() ? ToastMs : FileToastMs);
}

void VideoPlayerModel::scheduleHide()
{
    m_hideTimer.stop();
    if (!m_inPane)
        m_hideTimer.start();
}

void VideoPlayerModel::setControlsVisible(bool visible)
{
    if (visible == m_controlsVisible)
        return;
    m_controlsVisible = visible;
    emit controlsVisibleChanged();
}

void VideoPlayerModel::onPlayingChanged()
{
    if (m_controller.isPlaying()) {
        scheduleHide();
        return;
    }
    m_hideTimer.stop();
    setControlsVisible(true);
}

void VideoPlayerModel::onFinished()
{
    if (m_request.continuous)
        step(+1);
}
