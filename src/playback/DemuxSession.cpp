#include "playback/DemuxSession.h"

#include "client/Logging.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/FrameQueue.h"
#include "playback/PlaybackError.h"
#include "playback/StreamDecoder.h"
#include "playback/VideoFrameConversion.h"

#include <cmath>

namespace {

// Pictures within this distance of the target count as the target: container time bases round
// frame times (90 kHz in MPEG-TS, often 1/1000 s or finer in MP4).
constexpr double TargetTolerance = 0.00005;
// Read-ahead of undecoded pictures before reading waits for the screen.
constexpr double MaxVideoBacklog = 2.0;

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
    if (!m_input.open(m_setup.bytes.get(), m_setup.control.get(), m_setup.fragmentedMp4 ? "mp4" : "mpegts"))
        return false;
    m_format = m_input.format();
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
    m_video = openDecoder(m_videoStream);
    if (!m_video)
        return false;
    const AVRational rate = av_guess_frame_rate(m_format, m_videoStream, nullptr);
    if (rate.num > 0 && rate.den > 0)
        m_frameDuration = av_q2d(av_inv_q(rate));
    const int audio = m_setup.audio ? av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0) : -1;
    if (audio >= 0) {
        m_audioStream = m_format->streams[audio];
        m_audio = openDecoder(m_audioStream);
    }
    return true;
}

CodecContextPtr DemuxSession::openDecoder(const AVStream *stream) const
{
    return StreamDecoder::open(stream, StreamDecoder::Pace::Recording, m_setup.control->rate.load());
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
