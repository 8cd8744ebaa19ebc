#include "playback/LivePlayer.h"

#include "client/Logging.h"
#include "playback/ByteQueue.h"
#include "playback/FramePresenter.h"
#include "playback/LiveDecodeSession.h"
#include "playback/LiveIntake.h"
#include "playback/PlaybackError.h"

#include <limits>

namespace {

// A browser's media element jumps to 0.5 s before the newest media once it lags more than 2.5 s.
constexpr double EdgeLagLimit = 2.5;
constexpr double EdgeLead = 0.5;
// No new picture for this long after the clock caught up with the last one: "waiting".
constexpr qint64 StallMs = 1000;

} // namespace

LivePlayer::LivePlayer(QObject *parent)
    : QObject(parent)
    , m_presenter(std::make_unique<FramePresenter>())
{
    connect(m_presenter.get(), &FramePresenter::tick, this, &LivePlayer::present);
    connect(m_presenter.get(), &FramePresenter::framePresented, this, &LivePlayer::framePresented);
}

LivePlayer::~LivePlayer()
{
    end();
}

void LivePlayer::setVideoSink(QVideoSink *sink)
{
    m_presenter->setVideoSink(sink);
}

void LivePlayer::begin(Feed feed)
{
    end();
    m_feed = feed;
    const bool jpeg = feed == Feed::MultipartJpeg;
    // The intake keeps the queue within 4 MiB itself; the queue's own mark only matters to feeders
    // that wait for it.
    m_bytes = std::make_shared<ByteQueue>(std::numeric_limits<qint64>::max());
    m_intake = std::make_unique<LiveIntake>(jpeg ? LiveIntake::Kind::Jpeg : LiveIntake::Kind::Mp4, m_bytes);
    SessionSetup setup = m_presenter->open(1.0, m_bytes);
    setup.fragmentedMp4 = !jpeg;
    const auto kind = jpeg ? LiveDecodeSession::Kind::Jpeg : LiveDecodeSession::Kind::Mp4;
    m_presenter->run([setup, kind] {
        LiveDecodeSession session(setup, kind);
        session.run();
    });
    m_awaitingFirst = true;
    m_held = false;
    m_waiting = false;
    m_presenter->setRunning(false, true);
}

void LivePlayer::push(const QByteArray &bytes)
{
    if (!m_intake)
        return;
    const QString error = m_intake->push(bytes);
    if (!error.isEmpty())
        stopWithError(error);
}

// The demux thread may sit in a read of the byte queue: stopping aborts the queue, which wakes
// it, so neither this nor the destructor waits for it.
void LivePlayer::end()
{
    m_presenter->stop();
    m_bytes.reset();
    m_intake.reset();
    m_awaitingFirst = false;
    m_held = false;
    m_presenter->setRunning(false, false);
}

void LivePlayer::stopWithError(const QString &message)
{
    qCInfo(lcPlayback) << "live stream failed:" << message;
    end();
    emit failed(message);
}

void LivePlayer::setMuted(bool muted)
{
    m_presenter->setMuted(muted);
}

void LivePlayer::clearPicture()
{
    m_presenter->clearPicture();
}

bool LivePlayer::hasPicture() const
{
    return m_presenter->shown().has_value();
}

QImage LivePlayer::shownImage() const
{
    return m_presenter->shownImage();
}

QSizeF LivePlayer::presentationSize() const
{
    return m_presenter->presentationSize();
}

void LivePlayer::present()
{
    FrameQueue *frames = m_presenter->frames();
    if (!frames)
        return;
    if (frames->drained()) {
        stopWithError(frames->failure().value_or(PlaybackError::liveUnreadable()));
        return;
    }
    if (m_awaitingFirst) {
        showFirst();
        return;
    }
    if (m_feed == Feed::MultipartJpeg) {
        // A JPEG is shown as soon as it is decoded: the stream has no clock to keep.
        if (const auto newest = m_presenter->popDue(std::numeric_limits<double>::infinity()))
            m_presenter->show(*newest);
        return;
    }
    keepToEdge();
    const auto due = m_presenter->popDue(m_presenter->clock().time());
    if (due) {
        m_sincePicture.restart();
        m_presenter->show(*due);
    }
    holdOrResume(due.has_value());
    m_presenter->feedSound(!m_presenter->muted());
}

// The first picture goes on screen as soon as it is decoded, and the clock starts from it.
void LivePlayer::showFirst()
{
    const auto first = m_presenter->frames()->pop();
    if (!first)
        return;
    m_awaitingFirst = false;
    m_presenter->clock().setTime(first->time);
    m_sincePicture.restart();
    m_presenter->show(*first);
    if (!m_presenter->active())
        return; // ended by a listener
    const bool clocked = m_feed == Feed::FragmentedMp4;
    m_presenter->setRunning(clocked, clocked);
    emit playing();
}

void LivePlayer::keepToEdge()
{
    const auto edge = m_intake ? m_intake->edge() : std::nullopt;
    PlaybackClock &clock = m_presenter->clock();
    if (!edge || *edge - clock.time() <= EdgeLagLimit)
        return;
    const double target = *edge - EdgeLead;
    qCDebug(lcPlayback) << "live picture" << *edge - clock.time() << "s behind the edge: jumping to" << target;
    clock.setTime(target);
    m_presenter->control()->lateBefore = target;
    m_presenter->restartSound();
}

// The clock stops at the end of the last picture while no next one is there (a browser's media
// element does the same), and goes on from the next picture when one comes.
void LivePlayer::holdOrResume(bool shownNow)
{
    FrameQueue *frames = m_presenter->frames();
    if (!frames)
        return; // ended by a listener of the picture just shown
    PlaybackClock &clock = m_presenter->clock();
    const auto next = frames->front();
    if (m_held && (shownNow || next)) {
        if (!shownNow)
            clock.setTime(std::max(clock.time(), next->time));
        m_held = false;
        m_presenter->setRunning(true, true);
        if (m_waiting) {
            m_waiting = false;
            emit playing();
        }
        return;
    }
    const auto &shown = m_presenter->shown();
    const double shownEnd = shown ? shown->time + shown->duration : clock.time();
    if (!m_held && !next && clock.time() >= shownEnd) {
        clock.setTime(shownEnd);
        m_held = true;
        m_presenter->setRunning(false, true);
    }
    if (m_held && !m_waiting && m_sincePicture.elapsed() >= StallMs) {
        m_waiting = true;
        emit waiting();
    }
}
