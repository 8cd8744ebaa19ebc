#pragma once
#include "playback/FFmpeg.h"

// Decoders for both kinds of source, each with its latency policy.
namespace StreamDecoder {

enum class Pace { Recording, Live };

// A decoder for `stream`, or null when FFmpeg has none for its codec. Pictures of a recording
// played faster than real time use frame threads (more throughput, a few pictures of delay);
// otherwise slice threads and low delay.
CodecContextPtr open(const AVStream *stream, Pace pace, double rate = 1.0);
// Same, with slice threads and low delay, for a codec without a container (the JPEGs of an MJPEG
// stream).
CodecContextPtr open(AVCodecID codec);

} // namespace StreamDecoder

// A demuxer reading a non-seekable byte stream through a custom IO context. Either queue's
// abort ends a blocking read at once.
class ByteQueue;
struct SessionControl;

class DemuxInput
{
public:
    DemuxInput() = default;
    ~DemuxInput();
    DemuxInput(const DemuxInput &) = delete;
    DemuxInput &operator=(const DemuxInput &) = delete;

    // `format` is FFmpeg's short name ("mp4", "mpegts"); false when the header cannot be read.
    bool open(ByteQueue *bytes, SessionControl *control, const char *format);
    AVFormatContext *format() const { return m_format; }

private:
    AVFormatContext *m_format = nullptr;
    AVIOContext *m_io = nullptr;
};
