#pragma once
#include "playback/AudioConverter.h"
#include "playback/FFmpeg.h"
#include "playback/FrameQueue.h"
#include "playback/StreamDecoder.h"

#include <atomic>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class AudioQueue;
class ByteQueue;
class FrameQueue;

// Shared between the GUI thread and a running session.
struct SessionControl
{
    std::atomic_bool aborted = false;
    std::atomic<double> rate = 1.0;
    // Live only: pictures before this stream time come too late (the clock jumped to the live
    // edge) and are dropped before conversion.
    std::atomic<double> lateBefore = -std::numeric_limits<double>::infinity();
};

// The pictures decoded on the way to a seek target, kept for stepping back through them. The
// decoding thread fills it before it hands over the target picture; the GUI thread reads it
// after showing that picture, so the frame queue's lock orders the two.
struct PictureHistory
{
    static constexpr int Capacity = 12; // about 36 MB of 1080p pictures
    QList<DecodedFrame> pictures;       // oldest first; `video` is made when one is shown
};

struct SessionSetup
{
    std::shared_ptr<ByteQueue> bytes;
    std::shared_ptr<FrameQueue> frames;
    std::shared_ptr<AudioQueue> audio; // absent: play without sound
    std::shared_ptr<SessionControl> control;
    AudioFormat audioFormat;
    bool fragmentedMp4 = false;
    double segmentStart = 0; // item time of the first segment in `bytes`
    double target = 0;       // first item time to show; earlier pictures are decoded and dropped
    // When given, the last pictures before the target are kept here instead of dropped.
    std::shared_ptr<PictureHistory> history;
};

// Demuxes and decodes one run of segments (from the segment holding the target onward) on the
// calling thread, until the stream ends, fails or is aborted. The item's timeline is anchored at
// the first video packet, which starts a segment (nginx-vod aligns segments to key frames).
class DemuxSession
{
public:
    explicit DemuxSession(SessionSetup setup);
    ~DemuxSession();
    DemuxSession(const DemuxSession &) = delete;
    DemuxSession &operator=(const DemuxSession &) = delete;

    void run();

private:
    bool open();
    CodecContextPtr openDecoder(const AVStream *stream) const;
    bool readLoop();
    bool handleVideoPacket(const AVPacket *packet);
    bool collectTowardsTarget(const AVPacket *packet);
    bool decodeWaitingVideo(bool mayWait);
    double waitingVideoSeconds() const;
    std::optional<double> packetTime(const AVPacket *packet) const;
    bool handleAudioPacket(const AVPacket *packet);
    bool drainVideo();
    bool drainAudio();
    bool deliverVideo(FramePtr frame);
    bool emitVideo(FramePtr frame, double time);
    void keepInHistory(FramePtr frame, double time);
    DecodedFrame decodedFrame(FramePtr frame, double time) const;
    bool emitAudio(const AVFrame *frame, double time);
    double seconds(int64_t timestamp, const AVStream *stream) const;
    bool aborted() const;
    void finish(bool readFailed);

    SessionSetup m_setup;
    DemuxInput m_input;
    AVFormatContext *m_format = nullptr; // owned by m_input
    AVStream *m_videoStream = nullptr;
    AVStream *m_audioStream = nullptr;
    CodecContextPtr m_video;
    CodecContextPtr m_audio;
    AudioConverter m_converter;
    std::optional<double> m_origin; // stream seconds at item time 0
    std::vector<PacketPtr> m_earlyAudio;
    std::deque<PacketPtr> m_waitingVideo; // read but not decoded while the screen is 3 pictures behind
    FramePtr m_candidate;           // latest picture before the target, shown when the target has none
    double m_candidateTime = 0;
    bool m_targetReached = false;
    bool m_closingIn = false;       // a packet past the target was read: decode from the kept key frame
    double m_lastSentTime = -1; // latest item time of a packet handed to the video decoder
    double m_lastPictureTime = -1; // latest item time of a decoded picture
    int m_framesEmitted = 0;
    double m_frameDuration = 1.0 / 15;
};
