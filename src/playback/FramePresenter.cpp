#include "playback/FramePresenter.h"

#include "playback/AudioOutput.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/VideoFrameConversion.h"

#include <cmath>

namespace {

constexpr int TickMs = 10;
constexpr int FramesAhead = 3;
// The picture clock follows the sound when they drift further apart than this.
constexpr double SoundDriftLimit = 0.04;
// Weight of one tick's measurement in the drift estimate (about a 0.2 s average).
constexpr double SoundDriftSmoothing = 0.05;

} // namespace

FramePresenter::FramePresenter(QObject *parent)
    : QObject(parent)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this, &FramePresenter::tick);
}

FramePresenter::~FramePresenter()
{
    stop();
}

AudioOutput *FramePresenter::audio()
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

void FramePresenter::setVideoSink(QVideoSink *sink)
{
    m_sink = sink;
    if (m_sink && m_shown)
        m_sink->setVideoFrame(m_shown->video);
}

SessionSetup FramePresenter::open(double rate, std::shared_ptr<ByteQueue> bytes)
{
    stop();
    m_bytes = std::move(bytes);
    m_frames = std::make_shared<FrameQueue>(FramesAhead);
    m_control = std::make_shared<SessionControl>();
    m_control->rate = rate;
    m_frames->setNotify([this] { QMetaObject::invokeMethod(this, &FramePresenter::tick, Qt::QueuedConnection); });
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
    return setup;
}

void FramePresenter::run(std::function<void()> session)
{
    if (m_control)
        m_decoder.start(m_control, std::move(session));
}

void FramePresenter::stop()
{
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
    m_bytes.reset();
    m_frames.reset();
    m_audioQueue.reset();
    m_control.reset();
    m_soundDrift = 0;
}

void FramePresenter::setRunning(bool running, bool ticking)
{
    m_clock.setRunning(running);
    if (m_audio)
        m_audio->setPlaying(running);
    ticking = m_frames && (running || ticking);
    if (ticking && !m_tick.isActive())
        m_tick.start();
    else if (!ticking)
        m_tick.stop();
}

void FramePresenter::setRate(double rate)
{
    m_rate = rate;
    m_clock.setRate(rate);
    if (m_control)
        m_control->rate = rate;
    if (m_audio)
        m_audio->setRate(rate);
}

void FramePresenter::setMuted(bool muted)
{
    m_muted = muted;
    if (m_audio)
        m_audio->setMuted(muted);
}

void FramePresenter::feedSound(bool follow)
{
    if (!m_audio || !m_clock.running())
        return;
    m_audio->pump(m_clock.time());
    if (follow)
        followSound();
}

void FramePresenter::restartSound()
{
    m_soundDrift = 0;
    if (m_audio && m_audioQueue)
        m_audio->begin(m_audioQueue);
}

void FramePresenter::followSound()
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

std::optional<DecodedFrame> FramePresenter::popDue(double now)
{
    std::optional<DecodedFrame> due;
    while (const auto next = m_frames ? m_frames->front() : std::nullopt) {
        if (next->time > now)
            break;
        due = m_frames->pop();
    }
    return due;
}

void FramePresenter::show(const DecodedFrame &frame)
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

void FramePresenter::clearPicture()
{
    m_shown.reset();
    m_presentationSize = {};
    if (m_sink)
        m_sink->setVideoFrame({});
}

QImage FramePresenter::shownImage() const
{
    if (!m_shown || !m_shown->source)
        return {};
    return VideoFrameConversion::toBgra(m_shown->source.get());
}
