#include "playback/AudioConverter.h"

#include "client/Logging.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>

void AudioConverter::reset()
{
    m_graph.reset();
    m_source = m_sink = nullptr;
    m_nextTime = -1;
}

bool AudioConverter::configure(const AVFrame *frame, double rate)
{
    reset();
    m_graph.reset(avfilter_graph_alloc());
    if (!m_graph)
        return false;
    char layout[128] = {};
    av_channel_layout_describe(&frame->ch_layout, layout, sizeof layout);
    const QByteArray sourceArgs = QStringLiteral("time_base=1/%1:sample_rate=%1:sample_fmt=%2:channel_layout=%3")
                                      .arg(frame->sample_rate)
                                      .arg(QString::fromLatin1(av_get_sample_fmt_name(AVSampleFormat(frame->format))))
                                      .arg(QString::fromLatin1(layout))
                                      .toLatin1();
    const QByteArray chain = QStringLiteral("%1aformat=sample_fmts=s16:sample_rates=%2:channel_layouts=%3")
                                 .arg(std::abs(rate - 1.0) > 1e-6 ? QStringLiteral("atempo=%1,").arg(rate) : QString())
                                 .arg(m_format.sampleRate)
                                 .arg(m_format.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"))
                                 .toLatin1();
    if (avfilter_graph_create_filter(&m_source, avfilter_get_by_name("abuffer"), "in", sourceArgs.constData(),
                                     nullptr, m_graph.get()) < 0
        || avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                        m_graph.get()) < 0) {
        reset();
        return false;
    }
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = m_source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = m_sink;
    const int parsed = avfilter_graph_parse_ptr(m_graph.get(), chain.constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (parsed < 0 || avfilter_graph_config(m_graph.get(), nullptr) < 0) {
        qCWarning(lcPlayback) << "audio filter could not be set up:" << chain;
        reset();
        return false;
    }
    m_rate = rate;
    m_inputRate = frame->sample_rate;
    m_inputFormat = frame->format;
    av_channel_layout_uninit(&m_inputLayout);
    av_channel_layout_copy(&m_inputLayout, &frame->ch_layout);
    return true;
}

QList<AudioChunk> AudioConverter::convert(const AVFrame *frame, double time, double rate)
{
    const bool changed = !m_graph || rate != m_rate || frame->sample_rate != m_inputRate
        || frame->format != m_inputFormat || av_channel_layout_compare(&frame->ch_layout, &m_inputLayout) != 0;
    if (changed && !configure(frame, rate))
        return {};
    if (m_nextTime < 0)
        m_nextTime = time;
    FramePtr input(av_frame_clone(frame));
    if (input)
        input->pts = AV_NOPTS_VALUE; // times are kept here, in item seconds
    if (!input || av_buffersrc_add_frame(m_source, input.get()) < 0)
        return {};
    QList<AudioChunk> chunks;
    FramePtr output(av_frame_alloc());
    while (av_buffersink_get_frame(m_sink, output.get()) >= 0) {
        const int bytes = output->nb_samples * m_format.channels * 2;
        AudioChunk chunk{m_nextTime, rate, QByteArray(reinterpret_cast<const char *>(output->data[0]), bytes)};
        m_nextTime += double(output->nb_samples) * rate / m_format.sampleRate;
        chunks.append(std::move(chunk));
        av_frame_unref(output.get());
    }
    return chunks;
}
