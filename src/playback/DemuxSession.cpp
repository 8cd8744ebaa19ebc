#include "playback/DemuxSession.h"

#include "client/Logging.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/FrameQueue.h"
#include "playback/PlaybackError.h"
#include "playback/VideoFrameConversion.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

constexpr int IoBufferSize = 64 * 1024;
// Pictures within this distance of the target count as the target: container time bases round
// frame times (90 kHz in MPEG-TS, often 1/1000 s or finer in MP4).
constexpr double TargetTolerance = 0.00005;
// Read-ahead of undecoded pictures before reading waits for the screen.
constexpr double MaxVideoBacklog = 2.0;

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

}

DemuxSession::DemuxSession(SessionSetup setup)
    : m_setup(std::move(setup))
    , m_converter(m_setup.audioFormat)
{
}

DemuxSession::~DemuxSession()
{
    m_video.reset();
    m_audio.reset();
    avformat_close_input(&m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

bool DemuxSession::aborted() const
{
    return m_setup.control->aborted.load();
}

void DemuxSession::run()
{
    if (!open()) {
        if (!aborted())
            m_setup.frames->fail(m_setup.bytes->state() == ByteQueue::State::Failed ? m_setup.bytes->failure()
                                                                                 : PlaybackError::generic());
        return;
    }
    const bool readFailed = !readLoop();
    if (aborted())
        return;
    finish(readFailed);
}

bool DemuxSession::open()
{
    routeFFmpegLog();
    auto *buffer = static_cast<uint8_t *>(av_malloc(IoBufferSize));
    m_io = avio_alloc_context(buffer, IoBufferSize, 0, m_setup.bytes.get(), readBytes, nullptr, nullptr);
    m_format = avformat_alloc_context();
    if (!m_io || !m_format)
        return false;
    m_io->seekable = 0;
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->interrupt_callback = {interrupted, m_setup.control.get()};
    const AVInputFormat *input = av_find_input_format(m_setup.fragmentedMp4 ? "mp4" : "mpegts");
    const int opened = avformat_open_input(&m_format, nullptr, input, nullptr);
    if (opened < 0) {
        qCInfo(lcPlayback) << "recording could not be opened:" << averrorText(opened);
        return false;
    }
    if (!m_setup.fragmentedMp4) {
        // MPEG-TS announces codec parameters only in the stream itself.
        m_format->probesize = 2 << 20;
        m_format->max_analyze_duration = AV_TIME_BASE;
        if (avformat_find_stream_info(m_format, nullptr) < 0)
            return false;
    }
    const int video = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return false;
    m_videoStream = m_format->streams[video];
    m_video = openDecoder(m_videoStream, true);
    if (!m_video)
        return false;
    const AVRational rate = av_guess_frame_rate(m_format, m_videoStream, nullptr);
    if (rate.num > 0 && rate.den > 0)
        m_frameDuration = av_q2d(av_inv_q(rate));
    const int audio = m_setup.audio ? av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0) : -1;
    if (audio >= 0) {
        m_audioStream = m_format->streams[audio];
        m_audio = openDecoder(m_audioStream, false);
    }
    return true;
}

CodecContextPtr DemuxSession::openDecoder(const AVStream *stream, bool video) const
{
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
        return nullptr;
    context->pkt_timebase = stream->time_base;
    if (video) {
        // Frame threads add latency; they pay off only when playing faster than real time.
        const bool fast = m_setup.control->rate.load() > 1.0;
        context->thread_count = 2;
        context->thread_type = fast ? FF_THREAD_FRAME : FF_THREAD_SLICE;
        if (!fast && stream->codecpar->video_delay == 0)
            context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

double DemuxSession::seconds(int64_t timestamp, const AVStream *stream) const
{
    return double(timestamp) * av_q2d(stream->time_base);
}

bool DemuxSession::readLoop()
{
    PacketPtr packet(av_packet_alloc());
    while (!aborted()) {
        const int read = av_read_frame(m_format, packet.get());
        if (read == AVERROR_EOF)
            return true;
        if (read < 0)
            return false;
        bool going = true;
        if (m_videoStream && packet->stream_index == m_videoStream->index)
            going = handleVideoPacket(packet.get());
        else if (m_audioStream && packet->stream_index == m_audioStream->index)
            going = handleAudioPacket(packet.get());
        av_packet_unref(packet.get());
        if (!going)
            return true;
    }
    return true;
}

bool DemuxSession::handleVideoPacket(const AVPacket *packet)
{
    if (!m_origin) {
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (stamp == AV_NOPTS_VALUE)
            return true;
        m_origin = seconds(stamp, m_videoStream) - m_setup.segmentStart;
        for (const PacketPtr &early : m_earlyAudio)
            handleAudioPacket(early.get());
        m_earlyAudio.clear();
    }
    if (!m_targetReached && !m_closingIn && !collectTowardsTarget(packet))
        return true;
    m_waitingVideo.emplace_back(av_packet_clone(packet));
    return decodeWaitingVideo(waitingVideoSeconds() > MaxVideoBacklog);
}

// Before the target only the picture group that holds it needs decoding: packets are kept
// undecoded, and a key frame at or before the target makes the packets before it useless.
// Answers true once a packet lies past the target, so that the kept group gets decoded.
bool DemuxSession::collectTowardsTarget(const AVPacket *packet)
{
    const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const double time = stamp == AV_NOPTS_VALUE ? m_setup.target : seconds(stamp, m_videoStream) - *m_origin;
    const bool beforeTarget = time <= m_setup.target + TargetTolerance;
    if (beforeTarget && (packet->flags & AV_PKT_FLAG_KEY))
        m_waitingVideo.clear();
    if (beforeTarget) {
        m_waitingVideo.emplace_back(av_packet_clone(packet));
        return false;
    }
    m_closingIn = true;
    return true;
}

// Pictures are decoded only when the screen has room for them; meanwhile reading goes on, so
// that sound muxed behind the pictures still reaches the device in time.
bool DemuxSession::decodeWaitingVideo(bool mayWait)
{
    while (!m_waitingVideo.empty() && !aborted()) {
        if (!mayWait && m_targetReached && m_setup.frames->full())
            return true;
        const PacketPtr packet = std::move(m_waitingVideo.front());
        m_waitingVideo.pop_front();
        if (!packet)
            continue;
        m_lastSentTime = std::max(m_lastSentTime, packetTime(packet.get()).value_or(m_lastSentTime));
        if (avcodec_send_packet(m_video.get(), packet.get()) < 0)
            continue; // a damaged picture is skipped, as a player would
        if (!drainVideo())
            return false;
        mayWait = mayWait && waitingVideoSeconds() > MaxVideoBacklog / 2;
    }
    return !aborted();
}

std::optional<double> DemuxSession::packetTime(const AVPacket *packet) const
{
    const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (stamp == AV_NOPTS_VALUE || !m_origin)
        return std::nullopt;
    return seconds(stamp, m_videoStream) - *m_origin;
}

double DemuxSession::waitingVideoSeconds() const
{
    if (m_waitingVideo.size() < 2)
        return 0;
    const AVPacket *first = m_waitingVideo.front().get();
    const AVPacket *last = m_waitingVideo.back().get();
    if (first->dts == AV_NOPTS_VALUE || last->dts == AV_NOPTS_VALUE)
        return double(m_waitingVideo.size()) * m_frameDuration;
    return seconds(last->dts - first->dts, m_videoStream);
}

bool DemuxSession::drainVideo()
{
    while (!aborted()) {
        FramePtr frame(av_frame_alloc());
        const int received = avcodec_receive_frame(m_video.get(), frame.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0) {
            qCDebug(lcPlayback) << "picture could not be decoded:" << averrorText(received);
            return true;
        }
        if (!deliverVideo(std::move(frame)))
            return false;
    }
    return false;
}

bool DemuxSession::deliverVideo(FramePtr frame)
{
    const int64_t stamp = frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE || !m_origin)
        return true;
    const double time = seconds(stamp, m_videoStream) - *m_origin;
    m_lastPictureTime = std::max(m_lastPictureTime, time);
    if (m_targetReached)
        return emitVideo(std::move(frame), time);
    if (time < m_setup.target - TargetTolerance) {
        if (m_candidate)
            keepInHistory(std::move(m_candidate), m_candidateTime);
        m_candidate = std::move(frame);
        m_candidateTime = time;
        return true;
    }
    m_targetReached = true;
    if (m_candidate && time > m_setup.target + TargetTolerance) {
        if (!emitVideo(std::move(m_candidate), m_candidateTime))
            return false;
    } else if (m_candidate) {
        keepInHistory(std::move(m_candidate), m_candidateTime);
    }
    m_candidate.reset();
    return emitVideo(std::move(frame), time);
}

void DemuxSession::keepInHistory(FramePtr frame, double time)
{
    if (!m_setup.history)
        return;
    QList<DecodedFrame> &pictures = m_setup.history->pictures;
    // Converted for the screen only if a step shows it: most kept pictures never are.
    DecodedFrame decoded;
    decoded.time = time;
    decoded.duration = m_frameDuration;
    decoded.source = shareFrame(std::move(frame));
    if (pictures.size() == PictureHistory::Capacity)
        pictures.removeFirst();
    pictures.append(std::move(decoded));
}

DecodedFrame DemuxSession::decodedFrame(FramePtr frame, double time) const
{
    DecodedFrame decoded;
    decoded.time = time;
    decoded.duration = m_frameDuration;
    decoded.video = VideoFrameConversion::toVideoFrame(frame.get());
    if (!decoded.video.isValid())
        return decoded;
    decoded.video.setStartTime(qint64(std::llround(time * 1e6)));
    decoded.video.setEndTime(qint64(std::llround((time + m_frameDuration) * 1e6)));
    decoded.source = shareFrame(std::move(frame));
    return decoded;
}

bool DemuxSession::emitVideo(FramePtr frame, double time)
{
    DecodedFrame decoded = decodedFrame(std::move(frame), time);
    if (!decoded.video.isValid())
        return true;
    ++m_framesEmitted;
    return m_setup.frames->push(std::move(decoded));
}

bool DemuxSession::handleAudioPacket(const AVPacket *packet)
{
    if (!m_audio)
        return true;
    if (!m_origin) {
        m_earlyAudio.emplace_back(av_packet_clone(packet));
        return true;
    }
    if (avcodec_send_packet(m_audio.get(), packet) < 0)
        return true;
    return drainAudio();
}

bool DemuxSession::drainAudio()
{
    FramePtr frame(av_frame_alloc());
    while (!aborted()) {
        const int received = avcodec_receive_frame(m_audio.get(), frame.get());
        if (received < 0) {
            // Damaged sound is left out; the pictures go on.
            if (received != AVERROR(EAGAIN) && received != AVERROR_EOF)
                qCDebug(lcPlayback) << "sound could not be decoded:" << averrorText(received);
            return true;
        }
        const int64_t stamp = frame->best_effort_timestamp;
        if (stamp != AV_NOPTS_VALUE && !emitAudio(frame.get(), seconds(stamp, m_audioStream) - *m_origin))
            return false;
        av_frame_unref(frame.get());
    }
    return false;
}

bool DemuxSession::emitAudio(const AVFrame *frame, double time)
{
    const double length = double(frame->nb_samples) / frame->sample_rate;
    if (time + length <= m_setup.target)
        return true;
    for (AudioChunk &chunk : m_converter.convert(frame, time)) {
        const double seconds = double(chunk.pcm.size()) / m_setup.audioFormat.bytesPerSecond();
        m_setup.audio->push(std::move(chunk), seconds);
    }
    return !aborted();
}

void DemuxSession::finish(bool readFailed)
{
    // Everything read is shown, waiting for room on the screen as often as needed.
    while (!m_waitingVideo.empty() && decodeWaitingVideo(true)) { }
    avcodec_send_packet(m_video.get(), nullptr);
    drainVideo();
    if (m_candidate && !aborted())
        emitVideo(std::move(m_candidate), m_candidateTime);
    if (aborted())
        return;
    if (m_setup.bytes->state() == ByteQueue::State::Failed) {
        m_setup.frames->fail(m_setup.bytes->failure());
    } else if (m_lastSentTime > m_lastPictureTime + m_frameDuration / 2) {
        // The pictures stopped before the stream did (a decoder may report the damage or just
        // lose the pictures): the item did not play to its end.
        m_setup.frames->fail(PlaybackError::undecodable());
    } else if (readFailed || m_framesEmitted == 0) {
        m_setup.frames->fail(PlaybackError::generic());
    } else {
        m_setup.frames->finish();
    }
}
