#pragma once
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <QString>
#include <memory>

// Owning handles for the FFmpeg objects the media engine keeps.
struct AVFrameDeleter { void operator()(AVFrame *f) const { av_frame_free(&f); } };
struct AVPacketDeleter { void operator()(AVPacket *p) const { av_packet_free(&p); } };
struct AVCodecContextDeleter { void operator()(AVCodecContext *c) const { avcodec_free_context(&c); } };
struct AVFilterGraphDeleter { void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); } };
struct SwsContextDeleter { void operator()(SwsContext *s) const { sws_freeContext(s); } };

using FramePtr = std::unique_ptr<AVFrame, AVFrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, AVPacketDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
// A decoded picture shared between the queue, the screen and the snapshot tap.
using SharedFrame = std::shared_ptr<const AVFrame>;

inline SharedFrame shareFrame(FramePtr frame)
{
    return SharedFrame(frame.release(), [](const AVFrame *f) {
        AVFrame *owned = const_cast<AVFrame *>(f);
        av_frame_free(&owned);
    });
}

inline QString averrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}
