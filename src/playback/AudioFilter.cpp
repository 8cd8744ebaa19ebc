#include "playback/AudioFilter.h"

#include "client/Logging.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
}

AudioFilter::~AudioFilter()
{
    av_channel_layout_uninit(&m_inputLayout);
}

void AudioFilter::setChain(const QByteArray &chain)
{
    if (chain == m_chain)
        return;
    m_chain = chain;
    reset();
}

void AudioFilter::reset()
{
    m_graph.reset();
    m_source = m_sink = nullptr;
}

bool AudioFilter::matches(const AVFrame *frame) const
{
    return m_graph && frame->sample_rate == m_inputRate && frame->format == m_inputFormat
        && av_channel_layout_compare(&frame->ch_layout, &m_inputLayout) == 0;
}

bool AudioFilter::configure(const AVFrame *frame)
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
    const QByteArray chain = m_chain.isEmpty() ? QByteArrayLiteral("anull") : m_chain;
    const int parsed = avfilter_graph_parse_ptr(m_graph.get(), chain.constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (parsed < 0 || avfilter_graph_config(m_graph.get(), nullptr) < 0) {
        qCWarning(lcPlayback) << "audio filter could not be set up:" << chain;
        reset();
        return false;
    }
    m_inputRate = frame->sample_rate;
    m_inputFormat = frame->format;
    av_channel_layout_uninit(&m_inputLayout);
    av_channel_layout_copy(&m_inputLayout, &frame->ch_layout);
    return true;
}

std::vector<FramePtr> AudioFilter::process(const AVFrame *frame)
{
    if (!matches(frame) && !configure(frame))
        return {};
    FramePtr input(av_frame_clone(frame));
    if (!input)
        return {};
    input->pts = AV_NOPTS_VALUE; // callers keep their own time
    if (av_buffersrc_add_frame(m_source, input.get()) < 0)
        return {};
    std::vector<FramePtr> outputs;
    for (;;) {
        FramePtr output(av_frame_alloc());
        if (!output || av_buffersink_get_frame(m_sink, output.get()) < 0)
            break;
        outputs.push_back(std::move(output));
    }
    return outputs;
}
