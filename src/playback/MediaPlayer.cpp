#include "playback/MediaPlayer.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "playback/AudioOutput.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/PlaybackError.h"
#include "playback/SegmentFeeder.h"
#include "playback/VideoFrameConversion.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVideoSink>
#include <algorithm>
#include <cmath>

namespace {

constexpr int TickMs = 10;
constexpr int FramesAhead = 3;
// The picture clock follows the sound when they drift further apart than this.
constexpr double SoundDriftLimit = 0.04;
// Weight of one tick's measurement in the drift estimate (about a 0.2 s average).
constexpr double SoundDriftSmoothing = 0.05;

}

MediaPlayer::MediaPlayer(QObject *parent)
    : QObject(parent)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this, &MediaPlayer::present);
}

MediaPlayer::~MediaPlayer()
{
    unload();
}

AudioOutput *MediaPlayer::audio()
{
    if (!m_audioProbed) {
        m_audioProbed = true;
        auto *output = new AudioOutput(this);
        if (output->available()) {
            m_audio = output;
            m_audio->setMuted(m_muted);
            m_audio->setRate(m_rate);
        } else {
            delete output;
        }
    }
    return m_audio;
}

void MediaPlayer::setVideoSink(QVideoSink *sink)
{
    m_sink = sink;
    if (m_sink && m_shown)
        m_sink->setVideoFrame(m_shown->video);
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
    m_shown.reset();
    m_presentationSize = {};
    m_playing = false;
    m_clock.setRunning(false);
    m_clock.setTime(0);
    if (m_sink)
        m_sink->setVideoFrame({});
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
    if (generation == m_generation && m_status == Status::Ready && !m_frames)
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
    m_frames = std::make_shared<FrameQueue>(FramesAhead);
    m_control = std::make_shared<SessionControl>();
    m_control->rate = m_rate;
    m_frames->setNotify([this] { QMetaObject::invokeMethod(this, "present", Qt::QueuedConnection); });
    SessionSetup setup;
    setup.bytes = m_bytes;
    setup.frames = m_frames;
    setup.control = m_control;
    if (AudioOutput *output = audio()) {
        m_audioQueue = std::make_shared<AudioQueue>();
        output->begin(m_audioQueue);
        setup.audio = m_audioQueue;
        setup.audioFormat = output->format();
    }
    setup.fragmentedMp4 = fragmented;
    setup.segmentStart = m_playlist.segments[first].start;
    setup.target = target;
    setup.history = m_history;

    m_feeder = new SegmentFeeder(m_source, parts, m_bytes, this);
    m_feeder->start();
    m_decoder.start(std::move(setup));

    m_awaitingFirstFrame = true;
    m_stalled = false;
    m_ended = false;
    m_clock.setTime(target);
    updateClock();
}

void MediaPlayer::stopSession()
{
    m_history.reset();
    if (m_control)
        m_control->aborted = true;
    if (m_frames)
        m_frames->abort();
    if (m_bytes)
        m_bytes->abort();
    if (m_audioQueue)
        m_audioQueue->abort();
    if (m_audio)
        m_audio->end();
    delete m_feeder;
    m_feeder = nullptr;
    m_bytes.reset();
    m_frames.reset();
    m_audioQueue.reset();
    m_control.reset();
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
        m_clock.setTime(m_pendingTarget);
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
    if (m_playing || !m_frames || !m_shown || m_awaitingFirstFrame || direction == 0)
        return false;
    const double frame = m_shown->duration > 0 ? m_shown->duration : 1.0 / 15;
    const double wanted = m_shown->time + (direction > 0 ? frame : -frame);
    const auto isWanted = [&](double time) { return std::abs(time - wanted) < frame / 2; };
    std::optional<DecodedFrame> picture;
    if (m_history) {
        const auto kept = std::find_if(m_history->pictures.cbegin(), m_history->pictures.cend(),
                                       [&](const DecodedFrame &p) { return isWanted(p.time); });
        if (kept != m_history->pictures.cend())
            picture = *kept;
    }
    const auto next = m_frames->front();
    if (!picture && direction > 0 && next && isWanted(next->time))
        picture = m_frames->pop();
    if (!picture)
        return false;
    if (!picture->video.isValid() && picture->source) {
        picture->video = VideoFrameConversion::toVideoFrame(picture->source.get());
        picture->video.setStartTime(qint64(std::llround(picture->time * 1e6)));
        picture->video.setEndTime(qint64(std::llround((picture->time + picture->duration) * 1e6)));
    }
    remember(*m_shown);
    m_clock.setTime(picture->time);
    show(*picture);
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
    m_clock.setRate(rate);
    if (m_control)
        m_control->rate = rate;
    if (m_audio)
        m_audio->setRate(rate);
}

void MediaPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_audio)
        m_audio->setMuted(muted);
}

double MediaPlayer::currentTime() const
{
    const double duration = m_playlist.duration();
    const double time = std::max(0.0, m_clock.time());
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
    if (!m_shown)
        return std::nullopt;
    return m_shown->time;
}

QImage MediaPlayer::shownImage() const
{
    if (!m_shown || !m_shown->source)
        return {};
    return VideoFrameConversion::toBgra(m_shown->source.get());
}

SharedFrame MediaPlayer::shownFrame() const
{
    return m_shown ? m_shown->source : nullptr;
}

void MediaPlayer::updateClock()
{
    const bool running = m_playing && m_frames && !m_awaitingFirstFrame && !m_stalled && !m_ended;
    m_clock.setRunning(running);
    if (m_audio)
        m_audio->setPlaying(running);
    const bool ticking = m_frames && (running || m_awaitingFirstFrame || (m_playing && m_stalled));
    if (ticking && !m_tick.isActive())
        m_tick.start();
    else if (!ticking)
        m_tick.stop();
}

void MediaPlayer::show(const DecodedFrame &frame)
{
    m_shown = frame;
    if (frame.source) {
        const QSizeF size = VideoFrameConversion::displaySize(frame.source.get());
        if (!size.isEmpty())
            m_presentationSize = size;
    }
    if (m_sink)
        m_sink->setVideoFrame(frame.video);
    emit framePresented(frame.time);
}

void MediaPlayer::present()
{
    if (!m_frames)
        return;
    if (m_awaitingFirstFrame) {
        const auto first = m_frames->pop();
        if (!first) {
            checkStreamEnd();
            return;
        }
        m_awaitingFirstFrame = false;
        show(*first);
        updateClock();
    }
    if (m_clock.running() || m_stalled)
        presentDue();
}

void MediaPlayer::presentDue()
{
    const double now = m_clock.time();
    std::optional<DecodedFrame> due;
    while (const auto next = m_frames->front()) {
        if (next->time > now)
            break;
        due = m_frames->pop();
    }
    if (due)
        show(*due);
    const auto next = m_frames->front();
    if (m_stalled && (due || next)) {
        // Resume where the pictures continue: a damaged stretch is skipped, not waited out. A
        // picture just shown is itself where they continue, even with nothing queued behind it.
        if (!due)
            m_clock.setTime(std::max(m_clock.time(), next->time));
        m_stalled = false;
        updateClock();
    }
    if (m_frames->empty())
        checkStreamEnd();
    if (m_audio && m_clock.running()) {
        m_audio->pump(m_clock.time());
        followSound();
    }
}

void MediaPlayer::checkStreamEnd()
{
    if (!m_frames)
        return;
    const double shownEnd = m_shown ? m_shown->time + m_shown->duration : 0;
    if (m_frames->drained()) {
        if (const auto failure = m_frames->failure()) {
            fail(*failure);
            return;
        }
        // A clock held at the last picture's end, waiting for more, has reached the end as well.
        const bool advancing = m_clock.running() || (m_playing && m_stalled);
        if (!advancing && !m_awaitingFirstFrame)
            return;
        if (m_clock.time() >= shownEnd || m_awaitingFirstFrame)
            reachEnd();
        return;
    }
    if (m_clock.running() && m_clock.time() >= shownEnd && !m_stalled) {
        m_clock.setTime(shownEnd);
        m_stalled = true;
        updateClock();
    }
}

void MediaPlayer::reachEnd()
{
    m_awaitingFirstFrame = false;
    m_ended = true;
    m_playing = false;
    m_clock.setTime(m_playlist.duration());
    updateClock();
    emit ended();
}

void MediaPlayer::followSound()
{
    const auto heard = m_audio->heardTime();
    if (!heard) {
        m_soundDrift = 0;
        return;
    }
    // The device reports its position in steps; only a drift that persists moves the clock.
    m_soundDrift += (*heard - m_clock.time() - m_soundDrift) * SoundDriftSmoothing;
    if (std::abs(m_soundDrift) > SoundDriftLimit) {
        m_clock.setTime(m_clock.time() + m_soundDrift);
        m_soundDrift = 0;
    }
}
