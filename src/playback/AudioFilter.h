#pragma once
#include "playback/FFmpeg.h"

#include <QByteArray>
#include <vector>

// One libavfilter chain between a buffer source and a buffer sink, set up for the format of the
// first frame it is given and rebuilt when that format changes.
class AudioFilter
{
public:
    AudioFilter() = default;
    ~AudioFilter();
    AudioFilter(const AudioFilter &) = delete;
    AudioFilter &operator=(const AudioFilter &) = delete;

    // `chain` in libavfilter's syntax, e.g. "atempo=2" or "aformat=sample_fmts=s16".
    void setChain(const QByteArray &chain);
    void reset();
    // Frames ready so far; empty when the chain cannot be built.
    std::vector<FramePtr> process(const AVFrame *frame);

private:
    bool matches(const AVFrame *frame) const;
    bool configure(const AVFrame *frame);

    QByteArray m_chain;
    FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    int m_inputRate = 0;
    int m_inputFormat = -1;
    AVChannelLayout m_inputLayout{};
};
