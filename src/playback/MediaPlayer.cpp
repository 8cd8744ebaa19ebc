#include "playback/MediaPlayer.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "playback/ByteQueue.h"
#include "playback/DemuxSession.h"
#include "playback/PlaybackError.h"
#include "playback/SegmentFeeder.h"
#include "playback/VideoFrameConversion.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVideoSink>
#include <algorithm>
#include <cmath>

MediaPlayer::MediaPlayer(QObject *parent)
    : QObject(parent)
{
    connect(&m_presenter, &FramePresenter::tick, this, &MediaPlayer::present);
    connect(&m_presenter, &FramePresenter::framePresented, this, &MediaPlayer::framePresented);
}

MediaPlayer::~MediaPlayer()
{
    unload();
}

void MediaPlayer::load(const QUrl &url, MediaSource source)
{
    unload();
    m_source = std::move(source);
    m_status = Status::Loading;
    m_pendingTarget = 0;
    m_ended = false;
    emit statusChanged();
    fetchPlaylist(url, 0);
}

void MediaPlayer::unload()
{
    ++m_generation;
    if (m_playlistReply) {
        m_playlistReply->disconnect(this);
        m_playlistReply->abort();
        m_playlistReply->deleteLater();
    }
    stopSession();
    m_playlist = {};
    m_presenter.clearPicture();
    m_playing = false;
    m_presenter.clock().setRunning(false);
    m_presenter.clock().setTime(0);
    const bool changed = m_status != Status::Empty;
    m_status = Status::Empty;
    m_error.clear();
    if (changed)
        emit statusChanged();
}

void MediaPlayer::fetchPlaylist(const QUrl &url, int depth)
{
    if (!m_source.network) {
        fail(PlaybackError::generic());
        return;
    }
    QNetworkReply *reply = m_source.get(url);
    m_playlistReply = reply;
    const quint64 generation = m_generation;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > BodyLimit::Json)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, depth, generation] { onPlaylistReply(reply, depth, generation); });
}

void MediaPlayer::onPlaylistReply(QNetworkReply *reply, int depth, quint64 generation)
{
    reply->deleteLater();
    if (generation != m_generation)
        return;
    m_playlistReply = nullptr;
    const QString failure = PlaybackError::fromReply(reply);
    if (!failure.isEmpty()) {
        fail(failure);
        return;
    }
    const HlsPlaylist parsed = HlsPlaylist::parse(reply->readAll(), reply->url());
    switch (parsed.kind) {
    case HlsPlaylist::Kind::Master:
        if (depth > 0)
            fail(PlaybackError::notPlaylist());
        else
            fetchPlaylist(parsed.variant, depth + 1);
        return;
    case HlsPlaylist::Kind::Media:
        playlistReady(parsed.media);
        return;
    case HlsPlaylist::Kind::Invalid:
        fail(parsed.error);
        return;
    }
}

void MediaPlayer::playlistReady(const HlsMediaPlaylist &playlist)
{
    m_playlist = playlist;
    m_status = Status::Ready;
    const quint64 generation = m_generation;
    emit statusChanged(); // a listener may seek (or load another item) right here
    if (generation == m_generation && m_status == Status::Ready && !m_presenter.active())
        startSession(m_pendingTarget);
}

void MediaPlayer::startSession(double target, bool keepPictures)
{
    stopSession();
    m_history = keepPictures ? std::make_shared<PictureHistory>() : nullptr;
    target = std::clamp(target, 0.0, m_playlist.duration());
    const int first = m_playlist.segmentAt(target);
    const bool fragmented = m_playlist.fragmentedMp4();
    QList<SegmentFeeder::Part> parts;
    if (fragmented)
        parts.append({*m_playlist.initSection, Container::Mp4InitSection});
    for (int i = first; i < m_playlist.segments.size(); ++i)
        parts.append({m_playlist.segments[i].url, fragmented ? Container::Mp4Fragment : Container::TransportStream});

    m_bytes = std::make_shared<ByteQueue>();
    SessionSetup setup = m_presenter.open(m_rate, m_bytes);
    setup.fragmentedMp4 = fragmented;
    setup.segmentStart = m_playlist.segments[first].start;
    setup.target = target;
    setup.history = m_history;

    m_feeder = new SegmentFeeder(m_source, parts, m_bytes, this);
    m_feeder->start();
    m_presenter.run([setup] {
        DemuxSession session(setup);
        session.run();
    });

    m_awaitingFirstFrame = true;
    m_stalled = false;
    m_ended = false;
    m_presenter.clock().setTime(target);
    updateClock();
}

void MediaPlayer::stopSession()
{
    m_history.reset();
    m_presenter.stop();
    delete m_feeder;
    m_feeder = nullptr;
    m_bytes.reset();
    m_awaitingFirstFrame = false;
    m_stalled = false;
    updateClock();
}

void MediaPlayer::fail(const QString &message)
{
    qCInfo(lcPlayback) << "item failed:" << message;
    stopSession();
    m_status = Status::Failed;
    m_error = message.isEmpty() ? PlaybackError::generic() : message;
    updateClock();
    emit statusChanged();
}

void MediaPlayer::play()
{
    if (m_status == Status::Failed)
        return;
    m_playing = true;
    if (m_ended && m_status == Status::Ready)
        startSession(0);
    updateClock();
}

void MediaPlayer::pause()
{
    m_playing = false;
    updateClock();
}

void MediaPlayer::seek(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    if (m_status == Status::Loading) {
        m_pendingTarget = std::max(0.0, seconds);
        m_presenter.clock().setTime(m_pendingTarget);
        return;
    }
    if (m_status == Status::Ready)
        startSession(seconds);
}

void MediaPlayer::seekKeepingPictures(double seconds)
{
    if (m_status == Status::Ready && std::isfinite(seconds))
        startSession(seconds, true);
    else
        seek(seconds);
}

bool MediaPlayer::stepFromMemory(int direction)
{
    const std::optional<DecodedFrame> &shown = m_presenter.shown();
    if (m_playing || !m_presenter.active() || !shown || m_awaitingFirstFrame || direction == 0)
        return false;
    const double frame = shown->duration > 0 ? shown->duration : 1.0 / 15;
    const double wanted = shown->time + (direction > 0 ? frame : -frame);
    const auto isWanted = [&](double time) { return std::abs(time - wanted) < frame / 2; };
    std::optional<DecodedFrame> picture;
    if (m_history) {
        const auto kept = std::find_if(m_history->pictures.cbegin(), m_history->pictures.cend(),
                                       [&](const DecodedFrame &p) { return isWanted(p.time); });
        if (kept != m_history->pictures.cend())
            picture = *kept;
    }
    FrameQueue *frames = m_presenter.frames();
    const auto next = frames->front();
    if (!picture && direction > 0 && next && isWanted(next->time))
        picture = frames->pop();
    if (!picture)
        return false;
    if (!picture->video.isValid() && picture->source) {
        picture->video = VideoFrameConversion::toVideoFrame(picture->source.get());
        picture->video.setStartTime(qint64(std::llround(picture->time * 1e6)));
        picture->video.setEndTime(qint64(std::llround((picture->time + picture->duration) * 1e6)));
    }
    remember(*shown);
    m_presenter.clock().setTime(picture->time);
    m_presenter.show(*picture);
    return true;
}

// The picture stepped away from stays reachable by the opposite step.
void MediaPlayer::remember(const DecodedFrame &picture)
{
    if (!m_history)
        return;
    QList<DecodedFrame> &pictures = m_history->pictures;
    auto at = std::lower_bound(pictures.begin(), pictures.end(), picture.time,
                               [](const DecodedFrame &p, double time) { return p.time < time; });
    if (at != pictures.end() && at->time == picture.time)
        return;
    pictures.insert(at, picture);
    if (pictures.size() > 2 * PictureHistory::Capacity)
        pictures.removeFirst();
}

void MediaPlayer::setRate(double rate)
{
    if (!(rate > 0) || rate == m_rate)
        return;
    m_rate = rate;
    m_presenter.setRate(rate);
}

void MediaPlayer::setMuted(bool muted)
{
    m_presenter.setMuted(muted);
}

double MediaPlayer::currentTime() const
{
    const double duration = m_playlist.duration();
    const double time = std::max(0.0, m_presenter.clock().time());
    return duration > 0 ? std::min(time, duration) : time;
}

MediaPlayer::TimeControl MediaPlayer::timeControl() const
{
    if (!m_playing || m_status == Status::Failed || m_status == Status::Empty)
        return TimeControl::Paused;
    if (m_status == Status::Loading || m_awaitingFirstFrame || m_stalled)
        return TimeControl::Waiting;
    return TimeControl::Playing;
}

std::optional<double> MediaPlayer::shownTime() const
{
    if (!m_presenter.shown())
        return std::nullopt;
    return m_presenter.shown()->time;
}

void MediaPlayer::updateClock()
{
    const bool running = m_playing && m_presenter.active() && !m_awaitingFirstFrame && !m_stalled && !m_ended;
    m_presenter.setRunning(running, m_awaitingFirstFrame || (m_playing && m_stalled));
}

void MediaPlayer::present()
{
    FrameQueue *frames = m_presenter.frames();
    if (!frames)
        return;
    if (m_awaitingFirstFrame) {
        const auto first = frames->pop();
        if (!first) {
            checkStreamEnd();
            return;
        }
        m_awaitingFirstFrame = false;
        m_presenter.show(*first);
        updateClock();
    }
    if (m_presenter.clock().running() || m_stalled)
        presentDue();
}

void MediaPlayer::presentDue()
{
    PlaybackClock &clock = m_presenter.clock();
    const std::optional<DecodedFrame> due = m_presenter.popDue(clock.time());
    if (due)
        m_presenter.show(*due);
    const auto next = m_presenter.frames()->front();
    if (m_stalled && (due || next)) {
        // Resume where the pictures continue: a damaged stretch is skipped, not waited out. A
        // picture just shown is itself where they continue, even with nothing queued behind it.
        if (!due)
            clock.setTime(std::max(clock.time(), next->time));
        m_stalled = false;
        updateClock();
    }
    if (m_presenter.frames()->empty())
        checkStreamEnd();
    m_presenter.feedSound(true);
}

void MediaPlayer::checkStreamEnd()
{
    FrameQueue *frames = m_presenter.frames();
    if (!frames)
        return;
    const std::optional<DecodedFrame> &shown = m_presenter.shown();
    const double shownEnd = shown ? shown->time + shown->duration : 0;
    PlaybackClock &clock = m_presenter.clock();
    if (frames->drained()) {
        if (const auto failure = frames->failure()) {
            fail(*failure);
            return;
        }
        // A clock held at the last picture's end, waiting for more, has reached the end as well.
        const bool advancing = clock.running() || (m_playing && m_stalled);
        if (!advancing && !m_awaitingFirstFrame)
            return;
        if (clock.time() >= shownEnd || m_awaitingFirstFrame)
            reachEnd();
        return;
    }
    if (clock.running() && clock.time() >= shownEnd && !m_stalled) {
        clock.setTime(shownEnd);
        m_stalled = true;
        updateClock();
    }
}

void MediaPlayer::reachEnd()
{
    m_awaitingFirstFrame = false;
    m_ended = true;
    m_playing = false;
    m_presenter.clock().setTime(m_playlist.duration());
    updateClock();
    emit ended();
}
