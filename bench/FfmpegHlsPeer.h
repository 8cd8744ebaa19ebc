#pragma once
#include "playback/FFmpeg.h"

#include <QElapsedTimer>
#include <QString>
#include <cmath>
#include <deque>
#include <optional>

// The yardstick for the recording player: libavformat's own HLS demuxer (FFmpeg 5.1) reading the
// same playlist in this process, decoding with libavcodec threaded as the player is at 1x (two
// slice threads). Item time 0 is the first picture of the playlist, as in the player.
class FfmpegHlsPeer
{
public:
    struct Picture
    {
        double ms = NAN;
        double time = NAN; // item time of the picture, seconds
        QString error;
    };

    FfmpegHlsPeer() = default;
    FfmpegHlsPeer(const FfmpegHlsPeer &) = delete;
    FfmpegHlsPeer &operator=(const FfmpegHlsPeer &) = delete;
    ~FfmpegHlsPeer() { avformat_close_input(&m_format); }

    // From opening `url` to its first decoded picture; `headers` are request lines ending in CRLF.
    Picture open(const QString &url, const QString &headers)
    {
        QElapsedTimer clock;
        clock.start();
        AVDictionary *options = nullptr;
        // FFmpeg 5.1's HLS demuxer aborts on reused connections.
        av_dict_set(&options, "http_persistent", "0", 0);
        if (!headers.isEmpty())
            av_dict_set(&options, "headers", headers.toUtf8().constData(), 0);
        const int opened = avformat_open_input(&m_format, url.toUtf8().constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return failed(QStringLiteral("open: ") + averrorText(opened));
        if (avformat_find_stream_info(m_format, nullptr) < 0 || !openDecoder())
            return failed(QStringLiteral("no decodable picture stream"));
        const std::optional<double> first = decodeTo(-INFINITY);
        if (!first)
            return failed(QStringLiteral("no picture"));
        m_origin = *first;
        return {clock.nsecsElapsed() / 1e6, 0};
    }

    // From the seek call to the picture shown at item time `target` (the last one starting at or
    // before it): back to the key frame before it, then decode forward to it. The demuxer picks
    // segments by decode time stamps, which run ahead of the pictures' by the reorder delay, so a
    // target among a segment's last pictures can land on the next segment's first: then the
    // seek goes again from further back, as a player built on it would have to.
    Picture seek(double target)
    {
        QElapsedTimer clock;
        clock.start();
        if (!m_format || m_video < 0)
            return failed(QStringLiteral("not open"));
        double from = target;
        for (int attempt = 0; attempt < 4; ++attempt) {
            const auto stamp = int64_t(std::floor((m_origin + from) / av_q2d(m_format->streams[m_video]->time_base)));
            if (const int sought = av_seek_frame(m_format, m_video, stamp, AVSEEK_FLAG_BACKWARD); sought < 0)
                return failed(QStringLiteral("seek: ") + averrorText(sought));
            avcodec_flush_buffers(m_decoder.get());
            const std::optional<double> shown = decodeTo(m_origin + target);
            if (!shown)
                return failed(QStringLiteral("no picture after the seek, reading ended with: ")
                              + averrorText(m_readStatus));
            if (*shown - m_origin <= target + Tolerance || from <= 0)
                return {clock.nsecsElapsed() / 1e6, *shown - m_origin, {}};
            from = std::max(0.0, from - 2 * (*shown - m_origin - target) - m_frameDuration);
        }
        return failed(QStringLiteral("the seek keeps landing after the target"));
    }

private:
    static Picture failed(const QString &error) { return {NAN, NAN, error}; }

    bool openDecoder()
    {
        m_video = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_video < 0)
            return false;
        const AVStream *stream = m_format->streams[m_video];
        const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
        m_decoder.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (!m_decoder || avcodec_parameters_to_context(m_decoder.get(), stream->codecpar) < 0)
            return false;
        m_decoder->pkt_timebase = stream->time_base;
        m_decoder->thread_count = 2;
        m_decoder->thread_type = FF_THREAD_SLICE;
        const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        m_frameDuration = rate.num > 0 ? av_q2d(av_inv_q(rate)) : 0;
        return avcodec_open2(m_decoder.get(), codec, nullptr) >= 0;
    }

    // Stream time of the first picture lasting past `target` (stream seconds), or of the last
    // picture when the stream ends first.
    std::optional<double> decodeTo(double target)
    {
        std::deque<PacketPtr> group = groupHolding(target);
        FramePtr frame(av_frame_alloc());
        std::optional<double> last;
        for (;;) {
            PacketPtr packet = group.empty() ? readVideo() : takeFront(group);
            avcodec_send_packet(m_decoder.get(), packet.get()); // none: drain the decoder
            while (avcodec_receive_frame(m_decoder.get(), frame.get()) >= 0) {
                const double time = seconds(frame->best_effort_timestamp);
                av_frame_unref(frame.get());
                last = time;
                if (time + m_frameDuration > target + Tolerance)
                    return time;
            }
            if (!packet)
                return last;
        }
    }

    // The packets from the key frame that opens the picture group holding `target` up to the
    // first one decoded after it, as the player keeps them: what lies before that key frame is
    // read but never decoded.
    std::deque<PacketPtr> groupHolding(double target)
    {
        std::deque<PacketPtr> group;
        while (PacketPtr packet = readVideo()) {
            const bool past = packet->dts != AV_NOPTS_VALUE && seconds(packet->dts) > target + Tolerance;
            const int64_t shown = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if ((packet->flags & AV_PKT_FLAG_KEY) && shown != AV_NOPTS_VALUE && seconds(shown) <= target + Tolerance)
                group.clear();
            group.push_back(std::move(packet));
            if (past)
                break;
        }
        return group;
    }

    // The next packet of the picture stream, none at the end.
    PacketPtr readVideo()
    {
        PacketPtr packet(av_packet_alloc());
        while ((m_readStatus = av_read_frame(m_format, packet.get())) >= 0) {
            if (packet->stream_index == m_video)
                return packet;
            av_packet_unref(packet.get());
        }
        return nullptr;
    }

    static PacketPtr takeFront(std::deque<PacketPtr> &packets)
    {
        PacketPtr packet = std::move(packets.front());
        packets.pop_front();
        return packet;
    }

    double seconds(int64_t stamp) const { return double(stamp) * av_q2d(m_format->streams[m_video]->time_base); }

    // Container time bases round picture times; closer than this counts as the same time.
    static constexpr double Tolerance = 0.00005;
    AVFormatContext *m_format = nullptr;
    CodecContextPtr m_decoder;
    int m_video = -1;
    double m_origin = 0;
    double m_frameDuration = 0;
    int m_readStatus = 0;
};
