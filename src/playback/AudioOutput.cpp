#include "playback/AudioOutput.h"

#include "client/Logging.h"
#include "playback/AudioQueue.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

namespace {

// Sound more than this late is dropped rather than played out of step with the picture.
constexpr double LateLimit = 0.08;
constexpr double MaxAudioRate = 2.0;

QAudioFormat deviceFormat(const QAudioDevice &device, AudioFormat &chosen)
{
    const QAudioFormat preferred = device.preferredFormat();
    chosen.sampleRate = preferred.sampleRate() > 0 ? preferred.sampleRate() : 48000;
    chosen.channels = preferred.channelCount() == 1 ? 1 : 2;
    QAudioFormat format;
    format.setSampleRate(chosen.sampleRate);
    format.setChannelCount(chosen.channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

}

AudioOutput::AudioOutput(QObject *parent)
    : QObject(parent)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        qCInfo(lcPlayback) << "no audio output device: playing video only";
        return;
    }
    const QAudioFormat format = deviceFormat(device, m_format);
    if (!device.isFormatSupported(format)) {
        qCInfo(lcPlayback) << "audio device refuses 16-bit sound: playing video only";
        return;
    }
    m_stretcher.setFormat(m_format);
    m_sink = new QAudioSink(device, format, this);
    m_sink->setBufferSize(m_format.bytesPerSecond() / 5);
}

AudioOutput::~AudioOutput()
{
    end();
}

void AudioOutput::begin(std::shared_ptr<AudioQueue> queue)
{
    end();
    m_queue = std::move(queue);
    restartDevice();
}

void AudioOutput::end()
{
    if (m_sink)
        m_sink->stop();
    m_device = nullptr;
    m_queue.reset();
    m_pending.clear();
    m_stretcher.reset();
    m_writtenEnd.reset();
}

void AudioOutput::restartDevice()
{
    m_pending.clear();
    m_stretcher.reset();
    m_writtenEnd.reset();
    if (!m_sink)
        return;
    m_sink->stop();
    m_device = m_sink->start();
    if (!m_device || m_sink->error() != QAudio::NoError) {
        qCInfo(lcPlayback) << "audio device could not be opened: playing video only";
        m_device = nullptr;
        return;
    }
    if (!m_playing)
        m_sink->suspend();
}

void AudioOutput::setMuted(bool muted)
{
    if (m_sink)
        m_sink->setVolume(muted ? 0.0 : 1.0);
}

void AudioOutput::setRate(double rate)
{
    if (rate == m_rate)
        return;
    m_rate = rate;
    m_stretcher.setRate(std::min(rate, MaxAudioRate));
    if (m_queue)
        restartDevice(); // what the device holds was stretched for the old speed
}

void AudioOutput::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    if (!m_sink || !m_device)
        return;
    if (playing)
        m_sink->resume();
    else
        m_sink->suspend();
}

bool AudioOutput::writePending()
{
    if (m_pending.isEmpty())
        return true;
    const qint64 room = std::min<qint64>(m_sink->bytesFree(), m_pending.size());
    const qint64 written = room > 0 ? m_device->write(m_pending.constData(), room) : 0;
    if (written > 0)
        m_pending.remove(0, written);
    return m_pending.isEmpty();
}

void AudioOutput::pump(double now)
{
    if (!m_device || !m_queue || !m_playing)
        return;
    while (writePending()) {
        const auto chunk = m_queue->pop();
        if (!chunk)
            return;
        const double end = chunk->time + double(chunk->pcm.size()) / m_format.bytesPerSecond();
        if (m_rate > MaxAudioRate || end < now - LateLimit)
            continue;
        m_pending = m_stretcher.process(chunk->pcm);
        m_writtenEnd = end;
    }
}

std::optional<double> AudioOutput::heardTime() const
{
    if (!m_device || !m_writtenEnd || m_sink->state() != QAudio::ActiveState)
        return std::nullopt;
    const double held = double(m_sink->bufferSize() - m_sink->bytesFree() + m_pending.size());
    return *m_writtenEnd - held / m_format.bytesPerSecond() * m_rate;
}
