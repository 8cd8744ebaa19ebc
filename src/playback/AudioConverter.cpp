#include "playback/AudioConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstring>

namespace {

// Stream time stamps closer than this to the sample count are taken as continuous (seconds).
constexpr double DiscontinuityLimit = 0.02;

QByteArray interleavedBytes(const AVFrame *frame, const AudioFormat &format)
{
    return QByteArray(reinterpret_cast<const char *>(frame->data[0]), frame->nb_samples * format.bytesPerFrame());
}

}

AudioConverter::AudioConverter(AudioFormat format)
    : m_format(format)
{
    m_filter.setChain(QStringLiteral("aformat=sample_fmts=s16:sample_rates=%1:channel_layouts=%2")
                          .arg(format.sampleRate)
                          .arg(format.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"))
                          .toLatin1());
}

void AudioConverter::reset()
{
    m_filter.reset();
    m_nextTime = -1;
    m_streamTime = -1;
}

QList<AudioChunk> AudioConverter::convert(const AVFrame *frame, double time)
{
    if (m_nextTime < 0) {
        m_nextTime = time;
        m_streamTime = time;
    } else if (std::abs(time - m_streamTime) > DiscontinuityLimit) {
        // A gap or an overlap in the stream, as between two recording files: the sound still
        // buffered in the filter keeps its place, everything after it moves with the stream.
        m_nextTime += time - m_streamTime;
        m_streamTime = time;
    }
    if (frame->sample_rate > 0)
        m_streamTime += double(frame->nb_samples) / frame->sample_rate;
    QList<AudioChunk> chunks;
    for (const FramePtr &output : m_filter.process(frame)) {
        chunks.append(AudioChunk{m_nextTime, interleavedBytes(output.get(), m_format)});
        m_nextTime += double(output->nb_samples) / m_format.sampleRate;
    }
    return chunks;
}

void TempoStretcher::setFormat(AudioFormat format)
{
    m_format = format;
    m_filter.reset();
}

void TempoStretcher::setRate(double rate)
{
    if (rate == m_rate)
        return;
    m_rate = rate;
    m_filter.setChain(std::abs(rate - 1.0) < 1e-9 ? QByteArray() : QStringLiteral("atempo=%1").arg(rate).toLatin1());
}

QByteArray TempoStretcher::process(const QByteArray &pcm)
{
    if (std::abs(m_rate - 1.0) < 1e-9)
        return pcm;
    FramePtr input(av_frame_alloc());
    if (!input)
        return {};
    input->format = AV_SAMPLE_FMT_S16;
    input->sample_rate = m_format.sampleRate;
    av_channel_layout_default(&input->ch_layout, m_format.channels);
    input->nb_samples = int(pcm.size() / m_format.bytesPerFrame());
    if (input->nb_samples == 0 || av_frame_get_buffer(input.get(), 0) < 0)
        return {};
    std::memcpy(input->data[0], pcm.constData(), size_t(input->nb_samples) * m_format.bytesPerFrame());
    QByteArray stretched;
    for (const FramePtr &output : m_filter.process(input.get()))
        stretched += interleavedBytes(output.get(), m_format);
    return stretched;
}
