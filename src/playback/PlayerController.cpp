#include "playback/PlayerController.h"

#include "client/FrigateClient.h"
#include "playback/PlaybackError.h"

#include <QNetworkAccessManager>
#include <array>
#include <cmath>

namespace {

constexpr int TickMs = 100;
constexpr double MotionInterval = 0.12;
constexpr double EndMargin = 0.2;
constexpr std::array<float, 5> Rates{1.0f, 2.0f, 4.0f, 8.0f, 0.5f};

}

PlayerController::PlayerController(QObject *parent)
    : QObject(parent)
{
    m_timeObserver.setInterval(TickMs);
    connect(&m_timeObserver, &QTimer::timeout, this, &PlayerController::tick);
}

PlayerController::~PlayerController()
{
    teardown();
}

void PlayerController::setVideoSink(QVideoSink *sink)
{
    if (sink == m_player.videoSink())
        return;
    m_player.setVideoSink(sink);
    emit videoSinkChanged();
}

void PlayerController::setClient(FrigateClient *client)
{
    if (client == m_client)
        return;
    m_client = client;
    if (client)
        m_network = client->network();
    emit clientChanged();
}

void PlayerController::setNetwork(QNetworkAccessManager *network)
{
    m_network = network;
}

bool PlayerController::loadCurrent(FrigateClient *client, PlayerRequest &request)
{
    if (!client || request.index < 0 || request.index >= request.items.size())
        return false;
    const auto media = mediaRequest(*client, request.items[request.index], request.startOffset);
    if (!media)
        return false;
    setClient(client);
    load(media->url, media->cookie, media->headers, media->startAt);
    request.startOffset = 0;
    return true;
}

void PlayerController::load(const QUrl &url, const std::optional<QNetworkCookie> &cookie,
                            const QMap<QString, QString> &headers, std::optional<double> startAt)
{
    teardown();
    m_stepFrom.reset();
    m_pendingSeek = startAt;
    MediaSource source;
    source.network = m_network;
    source.cookie = cookie;
    source.headers = headers;
    source.origin = url;
    m_output = true;
    setCurrentTime(0);
    setDuration(0);
    setVideoAspect(std::nullopt);
    setIsBuffering(true);
    setError(std::nullopt);
    QPointer<PlayerController> self(this);
    m_endObserver = connect(&m_player, &MediaPlayer::ended, this, [self] {
        if (self)
            self->setFinishedCount(self->m_finishedCount + 1);
    });
    m_statusObservation = connect(&m_player, &MediaPlayer::statusChanged, this, &PlayerController::onStatusChanged);
    m_player.load(url, source);
    m_player.setMuted(m_muted);
    m_timeObserver.start();
    play();
}

void PlayerController::teardown()
{
    disconnect(m_endObserver);
    m_endObserver = {};
    m_motion.reset();
    setMotionBoxes({});
    m_lastMotionTime = -1;
    m_timeObserver.stop();
    disconnect(m_statusObservation);
    m_statusObservation = {};
    m_player.pause();
    m_player.unload();
}

void PlayerController::onStatusChanged()
{
    switch (m_player.status()) {
    case MediaPlayer::Status::Ready: {
        const double duration = m_player.duration();
        if (std::isfinite(duration))
            setDuration(duration);
        if (const auto target = m_pendingSeek) {
            m_pendingSeek.reset();
            seek(*target);
        }
        break;
    }
    case MediaPlayer::Status::Failed: {
        const QString message = m_player.errorString();
        setError(message.isEmpty() ? PlaybackError::generic() : message);
        setIsBuffering(false);
        break;
    }
    case MediaPlayer::Status::Loading:
    case MediaPlayer::Status::Empty:
        break;
    }
}

void PlayerController::tick()
{
    const double time = m_player.currentTime();
    if (std::isfinite(time))
        setCurrentTime(time);
    const double duration = m_player.duration();
    if (std::isfinite(duration) && duration > 0)
        setDuration(duration);
    const QSizeF size = m_player.presentationSize();
    if (size.width() > 0 && size.height() > 0)
        setVideoAspect(size.width() / size.height());
    const auto control = m_player.timeControl();
    setIsBuffering(control == MediaPlayer::TimeControl::Waiting);
    setIsPlaying(control != MediaPlayer::TimeControl::Paused);
    grabMotionFrame();
}

void PlayerController::grabMotionFrame()
{
    if (!m_motionEnabled || m_motionBusy || !m_player.hasItem() || !m_output)
        return;
    const double time = m_player.currentTime();
    if (!std::isfinite(time) || std::abs(time - m_lastMotionTime) < MotionInterval)
        return;
    SharedFrame frame = m_player.shownFrame();
    if (!frame)
        return;
    m_lastMotionTime = time;
    m_motionBusy = true;
    QPointer<PlayerController> self(this);
    const bool accepted = m_motion.analyze(std::move(frame), time, [self](const QList<QRectF> &boxes) {
        if (!self)
            return;
        self->m_motionBusy = false;
        if (self->m_motionEnabled)
            self->setMotionBoxes(boxes);
    });
    if (!accepted)
        m_motionBusy = false;
}

void PlayerController::play()
{
    m_stepFrom.reset();
    m_player.setRate(m_rate);
    m_player.play();
    setIsPlaying(true);
}

void PlayerController::togglePlay()
{
    if (!m_isPlaying) {
        play();
        return;
    }
    m_player.pause();
    setIsPlaying(false);
}

void PlayerController::seek(double seconds)
{
    m_stepFrom.reset();
    const double upper = m_duration > 0 ? m_duration - EndMargin : seconds;
    double target = std::min(seconds, upper);
    if (target < 0)
        target = 0;
    setCurrentTime(target);
    m_player.seek(target);
}

void PlayerController::stepFrame(int direction)
{
    const auto shown = m_player.shownTime();
    if (m_isPlaying || !shown || direction == 0)
        return;
    const double frame = m_player.shownDuration() > 0 ? m_player.shownDuration() : 1.0 / 15;
    if (m_stepFrom && std::abs(*m_stepFrom - *shown) < frame / 2)
        m_stepFrom.reset();
    // The paused session has usually decoded the next picture already, and a step back keeps
    // the pictures it decoded on the way: no seek needed then.
    if (!m_stepFrom && m_player.stepFromMemory(direction)) {
        setCurrentTime(m_player.currentTime());
        return;
    }
    const double from = m_stepFrom.value_or(*shown);
    // A seek shows the last picture starting at or before its target: half a picture before this
    // one lands on the previous picture, one and a half after on the next, whatever the rounding.
    const double target = from + (direction > 0 ? 1.5 : -0.5) * frame;
    if (direction > 0) {
        seek(target);
    } else {
        m_stepFrom.reset();
        setCurrentTime(std::max(0.0, target));
        m_player.seekKeepingPictures(std::max(0.0, target));
    }
    m_stepFrom = std::max(0.0, from + (direction > 0 ? frame : -frame));
}

void PlayerController::changeRate(int direction)
{
    static constexpr std::array<float, 5> Ordered{0.5f, 1.0f, 2.0f, 4.0f, 8.0f};
    const auto at = std::find(Ordered.begin(), Ordered.end(), m_rate);
    const qsizetype index = at == Ordered.end() ? 1 : at - Ordered.begin();
    const qsizetype next = std::clamp<qsizetype>(index + (direction > 0 ? 1 : -1), 0, Ordered.size() - 1);
    setRate(Ordered[next]);
    if (m_isPlaying)
        m_player.setRate(Ordered[next]);
}

void PlayerController::cycleRate()
{
    const auto at = std::find(Rates.begin(), Rates.end(), m_rate);
    const float next = at == Rates.end() ? 2.0f : *(at + 1 == Rates.end() ? Rates.begin() : at + 1);
    setRate(next);
    if (m_isPlaying)
        m_player.setRate(next);
}

void PlayerController::toggleMute()
{
    setMuted(!m_muted);
    m_player.setMuted(m_muted);
}

std::optional<QImage> PlayerController::snapshotImage() const
{
    if (!m_player.hasItem() || !m_output)
        return std::nullopt;
    const QImage image = m_player.shownImage();
    if (image.isNull())
        return std::nullopt;
    return image;
}

void PlayerController::setMotionEnabled(bool enabled)
{
    if (enabled != m_motionEnabled) {
        m_motionEnabled = enabled;
        emit motionEnabledChanged();
    }
    if (!enabled) {
        setMotionBoxes({});
        m_motion.reset();
    }
}

void PlayerController::setCurrentTime(double value)
{
    if (value == m_currentTime)
        return;
    m_currentTime = value;
    emit currentTimeChanged();
}

void PlayerController::setDuration(double value)
{
    if (value == m_duration)
        return;
    m_duration = value;
    emit durationChanged();
}

void PlayerController::setIsPlaying(bool value)
{
    if (value == m_isPlaying)
        return;
    m_isPlaying = value;
    emit isPlayingChanged();
}

void PlayerController::setIsBuffering(bool value)
{
    if (value == m_isBuffering)
        return;
    m_isBuffering = value;
    emit isBufferingChanged();
}

void PlayerController::setRate(float value)
{
    if (value == m_rate)
        return;
    m_rate = value;
    emit rateChanged();
}

void PlayerController::setMuted(bool value)
{
    if (value == m_muted)
        return;
    m_muted = value;
    emit mutedChanged();
}

void PlayerController::setError(const std::optional<QString> &value)
{
    if (value == m_error)
        return;
    m_error = value;
    emit errorChanged();
}

void PlayerController::setFinishedCount(int value)
{
    if (value == m_finishedCount)
        return;
    m_finishedCount = value;
    emit finishedCountChanged();
}

void PlayerController::setVideoAspect(const std::optional<double> &value)
{
    if (value == m_videoAspect)
        return;
    m_videoAspect = value;
    emit videoAspectChanged();
}

void PlayerController::setMotionBoxes(const QList<QRectF> &value)
{
    if (value == m_motionBoxes)
        return;
    m_motionBoxes = value;
    emit motionBoxesChanged();
}

QVariant PlayerController::videoAspectValue() const
{
    return m_videoAspect ? QVariant(*m_videoAspect) : QVariant();
}

QVariantList PlayerController::motionBoxesValue() const
{
    QVariantList boxes;
    for (const QRectF &box : m_motionBoxes)
        boxes.append(box);
    return boxes;
}
