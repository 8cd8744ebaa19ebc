#pragma once
#include "playback/AudioQueue.h"
#include "playback/FFmpeg.h"

#include <QList>

struct AudioFormat
{
    int sampleRate = 48000;
    int channels = 2; // interleaved signed 16-bit samples

    int bytesPerSecond() const { return sampleRate * channels * 2; }
};

// Decoded sound to the device's format, stretched to the playback speed with the pitch kept
// (libavfilter's atempo, which handles 0.5x to 2x in one stage).
class AudioConverter
{
public:
    explicit AudioConverter(AudioFormat format) : m_format(format) {}
    ~AudioConverter() { av_channel_layout_uninit(&m_inputLayout); }
    AudioConverter(const AudioConverter &) = delete;
    AudioConverter &operator=(const AudioConverter &) = delete;

    // `time` is the item time of the frame's first sample. Answers the chunks ready so far.
    QList<AudioChunk> convert(const AVFrame *frame, double time, double rate);
    // Forget buffered sound, e.g. after a jump in time.
    void reset();

private:
    bool configure(const AVFrame *frame, double rate);

    AudioFormat m_format;
    FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    double m_rate = 0;
    int m_inputRate = 0;
    int m_inputFormat = -1;
    AVChannelLayout m_inputLayout{};
    double m_nextTime = -1;
};
