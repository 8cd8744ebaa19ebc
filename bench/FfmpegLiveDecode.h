#pragma once
#include "playback/FFmpeg.h"

#include <QByteArray>
#include <sys/resource.h>

// The CPU yardstick for a live stream: libavformat + libavcodec alone decoding the same bytes the
// relay sent (init segment and fragments, recorded from one connection), in this process, with
// the decoder threaded as the live player's is (slice threads). Pictures are decoded and dropped.
class FfmpegLiveDecode
{
public:
    struct Outcome
    {
        double mediaSeconds = 0; // span of the decoded video
        double cpuSeconds = 0;   // this process, user + system, while decoding
        int pictures = 0;
        bool ok = false;
    };

    static Outcome decode(const QByteArray &stream)
    {
        Reader reader{stream, 0};
        const int size = 1 << 16;
        auto *buffer = static_cast<unsigned char *>(av_malloc(size));
        AVIOContext *io = avio_alloc_context(buffer, size, 0, &reader, &Reader::read, nullptr, nullptr);
        AVFormatContext *format = avformat_alloc_context();
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        Outcome outcome;
        const double before = cpuNow();
        if (avformat_open_input(&format, nullptr, av_find_input_format("mp4"), nullptr) == 0
            && avformat_find_stream_info(format, nullptr) >= 0)
            outcome = decodeAll(format);
        outcome.cpuSeconds = cpuNow() - before;
        avformat_close_input(&format);
        av_freep(&io->buffer);
        avio_context_free(&io);
        return outcome;
    }

private:
    struct Reader
    {
        const QByteArray &bytes;
        qsizetype at;
        static int read(void *opaque, uint8_t *into, int size)
        {
            auto *self = static_cast<Reader *>(opaque);
            const int n = int(std::min<qsizetype>(size, self->bytes.size() - self->at));
            if (n <= 0)
                return AVERROR_EOF;
            memcpy(into, self->bytes.constData() + self->at, size_t(n));
            self->at += n;
            return n;
        }
    };

    static double cpuNow()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
               + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

    static Outcome decodeAll(AVFormatContext *format)
    {
        Outcome outcome;
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (index < 0)
            return outcome;
        const AVStream *stream = format->streams[index];
        CodecContextPtr codec(avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id)));
        avcodec_parameters_to_context(codec.get(), stream->codecpar);
        codec->thread_type = FF_THREAD_SLICE;
        codec->flags |= AV_CODEC_FLAG_LOW_DELAY;
        if (avcodec_open2(codec.get(), nullptr, nullptr) < 0)
            return outcome;
        PacketPtr packet(av_packet_alloc());
        FramePtr frame(av_frame_alloc());
        int64_t first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
        while (av_read_frame(format, packet.get()) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(codec.get(), packet.get()) >= 0) {
                while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
                    ++outcome.pictures;
                    if (first == AV_NOPTS_VALUE)
                        first = frame->best_effort_timestamp;
                    last = frame->best_effort_timestamp;
                }
            }
            av_packet_unref(packet.get());
        }
        outcome.ok = outcome.pictures > 0;
        if (first != AV_NOPTS_VALUE)
            outcome.mediaSeconds = double(last - first) * av_q2d(stream->time_base);
        return outcome;
    }
};
