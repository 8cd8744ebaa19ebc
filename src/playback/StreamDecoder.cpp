#include "playback/StreamDecoder.h"

#include "client/Logging.h"
#include "playback/ByteQueue.h"
#include "playback/DemuxSession.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

constexpr int IoBufferSize = 64 * 1024;

int readBytes(void *opaque, uint8_t *buffer, int size)
{
    const int read = static_cast<ByteQueue *>(opaque)->read(reinterpret_cast<char *>(buffer), size);
    if (read > 0)
        return read;
    return read == 0 ? AVERROR_EOF : AVERROR(EIO);
}

int interrupted(void *opaque)
{
    return static_cast<SessionControl *>(opaque)->aborted.load() ? 1 : 0;
}

// FFmpeg's complaints about damaged input belong with the player's own diagnostics.
void forwardLog(void *, int level, const char *format, va_list arguments)
{
    if (level > AV_LOG_WARNING)
        return;
    char line[1024];
    std::vsnprintf(line, sizeof line, format, arguments);
    qCDebug(lcPlayback).noquote() << "ffmpeg:" << QString::fromUtf8(line).trimmed();
}

void routeFFmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(forwardLog); });
}

CodecContextPtr openContext(const AVCodec *codec, const AVCodecParameters *parameters, AVRational timeBase, bool fast)
{
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        return nullptr;
    if (parameters && avcodec_parameters_to_context(context.get(), parameters) < 0)
        return nullptr;
    context->pkt_timebase = timeBase;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        context->thread_count = 2;
        context->thread_type = fast ? FF_THREAD_FRAME : FF_THREAD_SLICE;
        if (!fast && (!parameters || parameters->video_delay == 0))
            context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace

CodecContextPtr StreamDecoder::open(const AVStream *stream, Pace pace, double rate)
{
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    // Frame threads add latency; they pay off only when a recording plays faster than real time.
    const bool fast = pace == Pace::Recording && rate > 1.0;
    return openContext(codec, stream->codecpar, stream->time_base, fast);
}

CodecContextPtr StreamDecoder::open(AVCodecID id)
{
    const AVCodec *codec = avcodec_find_decoder(id);
    if (!codec)
        return nullptr;
    return openContext(codec, nullptr, AVRational{1, 1000000}, false);
}

DemuxInput::~DemuxInput()
{
    avformat_close_input(&m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

bool DemuxInput::open(ByteQueue *bytes, SessionControl *control, const char *format)
{
    routeFFmpegLog();
    auto *buffer = static_cast<uint8_t *>(av_malloc(IoBufferSize));
    m_io = avio_alloc_context(buffer, IoBufferSize, 0, bytes, readBytes, nullptr, nullptr);
    m_format = avformat_alloc_context();
    if (!m_io || !m_format)
        return false;
    m_io->seekable = 0;
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->interrupt_callback = {interrupted, control};
    const AVInputFormat *input = av_find_input_format(format);
    const int opened = avformat_open_input(&m_format, nullptr, input, nullptr);
    if (opened < 0) {
        qCInfo(lcPlayback) << "stream could not be opened:" << averrorText(opened);
        return false;
    }
    return true;
}
