#pragma once
#include "playback/AudioFilter.h"
#include "playback/AudioQueue.h"

#include <QList>

struct AudioFormat
{
    int sampleRate = 48000;
    int channels = 2; // interleaved signed 16-bit samples

    int bytesPerSecond() const { return sampleRate * channels * 2; }
    int bytesPerFrame() const { return channels * 2; }
};

// Decoded sound to the device's sample format, rate and channels, stamped with item time. Stamps
// count samples while the stream's own time stamps agree, and follow the stream where it jumps.
class AudioConverter
{
public:
    explicit AudioConverter(AudioFormat format);

    // `time` is the item time of the frame's first sample. Answers the chunks ready so far.
    QList<AudioChunk> convert(const AVFrame *frame, double time);
    // Forget buffered sound, e.g. after a jump in time.
    void reset();

private:
    AudioFormat m_format;
    AudioFilter m_filter;
    double m_nextTime = -1; // item time of the next converted sample
    double m_streamTime = -1; // item time the next input frame should start at, by sample count
};

// Stretches device-format sound to a playback speed with the pitch kept (libavfilter's atempo,
// which covers 0.5x to 2x in one stage).
class TempoStretcher
{
public:
    void setFormat(AudioFormat format);
    void setRate(double rate);
    QByteArray process(const QByteArray &pcm);
    void reset() { m_filter.reset(); }

private:
    AudioFormat m_format;
    AudioFilter m_filter;
    double m_rate = 1;
};
