#pragma once
#include "playback/AudioConverter.h"
#include "playback/DemuxSession.h"
#include "playback/StreamDecoder.h"

#include <chrono>

// Decodes a live stream on the decoding thread until it is aborted: fragmented MP4 read by the
// mp4 demuxer as the fragments arrive, or whole JPEGs (one per queued piece) decoded directly.
// Pictures carry their stream time: the fragments' decode time, or for JPEGs the seconds since
// the session began (MJPEG has no time of its own).
class LiveDecodeSession
{
public:
    enum class Kind { Mp4, Jpeg };

    LiveDecodeSession(SessionSetup setup, Kind kind);
    LiveDecodeSession(const LiveDecodeSession &) = delete;
    LiveDecodeSession &operator=(const LiveDecodeSession &) = delete;

    void run();

private:
    bool openMp4();
    void readMp4();
    void readJpegs();
    bool decodeVideo(const AVPacket *packet);
    bool deliver(FramePtr frame);
    bool decodeAudio(const AVPacket *packet);
    double seconds(int64_t stamp, const AVStream *stream) const;
    bool aborted() const;
    void fail(const QString &message);

    SessionSetup m_setup;
    Kind m_kind;
    DemuxInput m_input;
    const AVStream *m_videoStream = nullptr;
    const AVStream *m_audioStream = nullptr;
    CodecContextPtr m_video;
    CodecContextPtr m_audio;
    AudioConverter m_converter;
    double m_frameDuration = 1.0 / 15;
    std::chrono::steady_clock::time_point m_began = std::chrono::steady_clock::now();
};
