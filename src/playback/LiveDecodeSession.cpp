#include "playback/LiveDecodeSession.h"

#include "client/Logging.h"
#include "playback/AudioQueue.h"
#include "playback/ByteQueue.h"
#include "playback/FrameQueue.h"
#include "playback/PlaybackError.h"
#include "playback/VideoFrameConversion.h"

#include <cmath>

LiveDecodeSession::LiveDecodeSession(SessionSetup setup, Kind kind)
    : m_setup(std::move(setup))
    , m_kind(kind)
    , m_converter(m_setup.audioFormat)
{ }

bool LiveDecodeSession::aborted() const
{
    return m_setup.control->aborted.load();
}

void LiveDecodeSession::fail(const QString &message)
{
    if (!aborted())
        m_setup.frames->fail(message);
}

double LiveDecodeSession::seconds(int64_t stamp, const AVStream *stream) const
{
    return double(stamp) * av_q2d(stream->time_base);
}

void LiveDecodeSession::run()
{
    if (m_kind == Kind::Jpeg) {
        readJpegs();
        return;
    }
    if (openMp4())
        readMp4();
}

bool LiveDecodeSession::openMp4()
{
    if (!m_input.open(m_setup.bytes.get(), m_setup.control.get(), "mp4")) {
        fail(PlaybackError::liveUnreadable());
        return false;
    }
    AVFormatContext *format = m_input.format();
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) {
        m_videoStream = format->streams[video];
        m_video = StreamDecoder::open(m_videoStream, StreamDecoder::Pace::Live);
    }
    if (!m_video) {
        qCInfo(lcPlayback) << "live stream without a video track this player decodes";
        fail(PlaybackError::liveUnsupported());
        return false;
    }
    const int audio = m_setup.audio ? av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0) : -1;
    if (audio >= 0) {
        m_audioStream = format->streams[audio];
        m_audio = StreamDecoder::open(m_audioStream, StreamDecoder::Pace::Live);
    }
    return true;
}

void LiveDecodeSession::readMp4()
{
    PacketPtr packet(av_packet_alloc());
    AVFormatContext *format = m_input.format();
    while (!aborted()) {
        const int read = av_read_frame(format, packet.get());
        if (read < 0) {
            if (!aborted())
                qCInfo(lcPlayback) << "live stream unreadable:" << averrorText(read);
            fail(PlaybackError::liveUnreadable());
            return;
        }
        bool going = true;
        if (packet->stream_index == m_videoStream->index)
            going = decodeVideo(packet.get());
        else if (m_audioStream && packet->stream_index == m_audioStream->index)
            going = decodeAudio(packet.get());
        av_packet_unref(packet.get());
        if (!going)
            return;
    }
}

void LiveDecodeSession::readJpegs()
{
    m_video = StreamDecoder::open(AV_CODEC_ID_MJPEG);
    if (!m_video) {
        fail(PlaybackError::liveUnsupported());
        return;
    }
    PacketPtr packet(av_packet_alloc());
    while (const auto jpeg = m_setup.bytes->take()) {
        const std::chrono::duration<double> since = std::chrono::steady_clock::now() - m_began;
        packet->data = reinterpret_cast<uint8_t *>(const_cast<char *>(jpeg->constData()));
        packet->size = int(jpeg->size());
        packet->pts = std::llround(since.count() * 1e6); // the decoder's time base is 1 µs
        if (!decodeVideo(packet.get()))
            return;
    }
}

bool LiveDecodeSession::decodeVideo(const AVPacket *packet)
{
    // Catching up with the live edge: pictures nothing refers to are not worth decoding.
    const bool late = m_videoStream && packet->dts != AV_NOPTS_VALUE
                      && seconds(packet->dts, m_videoStream) < m_setup.control->lateBefore.load();
    m_video->skip_frame = late ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    if (packet->duration > 0 && m_videoStream)
        m_frameDuration = seconds(packet->duration, m_videoStream);
    if (avcodec_send_packet(m_video.get(), packet) < 0)
        return !aborted(); // a damaged picture is skipped
    while (!aborted()) {
        FramePtr frame(av_frame_alloc());
        const int received = avcodec_receive_frame(m_video.get(), frame.get());
        if (received < 0)
            return true; // more input needed, or a damaged picture left out
        if (!deliver(std::move(frame)))
            return false;
    }
    return false;
}

bool LiveDecodeSession::deliver(FramePtr frame)
{
    const int64_t stamp = frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE)
        return true;
    const double time = m_videoStream ? seconds(stamp, m_videoStream) : double(stamp) / 1e6;
    if (time < m_setup.control->lateBefore.load())
        return true;
    DecodedFrame decoded;
    decoded.time = time;
    decoded.duration = m_frameDuration;
    decoded.video = VideoFrameConversion::toVideoFrame(frame.get());
    if (!decoded.video.isValid())
        return true;
    decoded.video.setStartTime(qint64(std::llround(time * 1e6)));
    decoded.video.setEndTime(qint64(std::llround((time + m_frameDuration) * 1e6)));
    decoded.source = shareFrame(std::move(frame));
    return m_setup.frames->push(std::move(decoded));
}

bool LiveDecodeSession::decodeAudio(const AVPacket *packet)
{
    if (!m_audio || avcodec_send_packet(m_audio.get(), packet) < 0)
        return true;
    FramePtr frame(av_frame_alloc());
    while (!aborted()) {
        if (avcodec_receive_frame(m_audio.get(), frame.get()) < 0)
            return true; // damaged sound is left out; the pictures go on
        const int64_t stamp = frame->best_effort_timestamp;
        const double time = stamp == AV_NOPTS_VALUE ? 0 : seconds(stamp, m_audioStream);
        for (AudioChunk &chunk : m_converter.convert(frame.get(), time)) {
            const double length = double(chunk.pcm.size()) / m_setup.audioFormat.bytesPerSecond();
            m_setup.audio->push(std::move(chunk), length);
        }
        av_frame_unref(frame.get());
    }
    return false;
}
