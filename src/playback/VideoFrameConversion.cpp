#include "playback/VideoFrameConversion.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace VideoFrameConversion {

namespace {

// Untagged video follows the broadcast convention: standard definition is BT.601, HD is BT.709.
bool highDefinition(const AVFrame *frame)
{
    return frame->width > 1024 || frame->height >= 600;
}

QVideoFrameFormat::PixelFormat directFormat(int format)
{
    switch (format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        return QVideoFrameFormat::Format_YUV420P;
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUVJ422P:
        return QVideoFrameFormat::Format_YUV422P;
    case AV_PIX_FMT_NV12:
        return QVideoFrameFormat::Format_NV12;
    case AV_PIX_FMT_P010LE:
        return QVideoFrameFormat::Format_P010;
    case AV_PIX_FMT_YUV420P10LE:
        return QVideoFrameFormat::Format_YUV420P10;
    default:
        return QVideoFrameFormat::Format_Invalid;
    }
}

QVideoFrameFormat::ColorTransfer colorTransfer(const AVFrame *frame)
{
    switch (frame->color_trc) {
    case AVCOL_TRC_SMPTE2084:
        return QVideoFrameFormat::ColorTransfer_ST2084;
    case AVCOL_TRC_ARIB_STD_B67:
        return QVideoFrameFormat::ColorTransfer_STD_B67;
    case AVCOL_TRC_SMPTE170M:
        return QVideoFrameFormat::ColorTransfer_BT601;
    case AVCOL_TRC_GAMMA22:
        return QVideoFrameFormat::ColorTransfer_Gamma22;
    case AVCOL_TRC_GAMMA28:
        return QVideoFrameFormat::ColorTransfer_Gamma28;
    default:
        return QVideoFrameFormat::ColorTransfer_BT709;
    }
}

int swsColorspace(QVideoFrameFormat::ColorSpace space)
{
    switch (space) {
    case QVideoFrameFormat::ColorSpace_BT709:
        return SWS_CS_ITU709;
    case QVideoFrameFormat::ColorSpace_BT2020:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_ITU601;
    }
}

using Levels = std::array<uchar, 256>;

// Qt 6.4 draws BT.709 wrongly in both ranges: the limited-range matrix has the chroma weights of
// the green row swapped (yellows and reds turn green, cyans lose green), and the full-range one
// subtracts 0.8774 instead of 0.7874 in the red row (everything loses red). So 8-bit BT.709
// pictures are handed over as full range (widened from video range when they are in it) while
// they are copied anyway, with a constant shift of Y, Cb and Cr that puts the missing 0.09 back
// into red and leaves green and blue as they were (the matrix solved for dR = 0.09, dG = dB = 0).
constexpr double RedShiftY = 0.019134 * 255;
constexpr double RedShiftCb = -0.010312 * 255;
constexpr double RedShiftCr = 0.045001 * 255;

Levels mapping(double from, double span, double to)
{
    Levels levels{};
    for (int value = 0; value < 256; ++value)
        levels[value] = uchar(std::clamp(std::lround((value - from) * 255.0 / span + to), 0L, 255L));
    return levels;
}

struct Bt709Levels
{
    explicit Bt709Levels(bool videoRange)
        : luma(mapping(videoRange ? 16 : 0, videoRange ? 219 : 255, RedShiftY))
        , blueDifference(mapping(128, videoRange ? 224 : 255, 128 + RedShiftCb))
        , redDifference(mapping(128, videoRange ? 224 : 255, 128 + RedShiftCr))
    {
    }
    Levels luma;
    Levels blueDifference;
    Levels redDifference;
};

const Bt709Levels &bt709Levels(QVideoFrameFormat::ColorRange range)
{
    static const Bt709Levels video(true);
    static const Bt709Levels full(false);
    return range == QVideoFrameFormat::ColorRange_Full ? full : video;
}

bool needsBt709Fix(const QVideoFrameFormat &format)
{
    const auto pixels = format.pixelFormat();
    const bool eightBit = pixels == QVideoFrameFormat::Format_YUV420P || pixels == QVideoFrameFormat::Format_YUV422P
        || pixels == QVideoFrameFormat::Format_NV12;
    return eightBit && format.colorSpace() == QVideoFrameFormat::ColorSpace_BT709;
}

// `levels` holds the table of a planar plane, or the two of an interleaved Cb/Cr plane (NV12).
void copyPlane(uchar *to, int toStride, const uint8_t *from, int fromStride, int rowBytes, int rows,
               const QList<const Levels *> &levels)
{
    for (int row = 0; row < rows; ++row) {
        uchar *target = to + qsizetype(row) * toStride;
        const uint8_t *source = from + qsizetype(row) * fromStride;
        if (levels.isEmpty()) {
            std::memcpy(target, source, size_t(rowBytes));
            continue;
        }
        const Levels &first = *levels.first();
        if (levels.size() == 1) {
            for (int i = 0; i < rowBytes; ++i)
                target[i] = first[source[i]];
            continue;
        }
        const Levels &second = *levels.last();
        for (int i = 0; i + 1 < rowBytes; i += 2) {
            target[i] = first[source[i]];
            target[i + 1] = second[source[i + 1]];
        }
    }
}

QList<const Levels *> planeLevels(const QVideoFrameFormat &format, int plane)
{
    const Bt709Levels &tables = bt709Levels(format.colorRange());
    if (plane == 0)
        return {&tables.luma};
    if (format.pixelFormat() == QVideoFrameFormat::Format_NV12)
        return {&tables.blueDifference, &tables.redDifference};
    return {plane == 1 ? &tables.blueDifference : &tables.redDifference};
}

// Planar copy of a frame whose layout Qt understands as it is.
QVideoFrame copyDirect(const AVFrame *frame, QVideoFrameFormat format)
{
    const bool fix = needsBt709Fix(format);
    const QVideoFrameFormat original = format;
    if (fix)
        format.setColorRange(QVideoFrameFormat::ColorRange_Full);
    QVideoFrame video(format);
    if (!video.map(QVideoFrame::WriteOnly))
        return {};
    const auto *descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    for (int plane = 0; plane < video.planeCount(); ++plane) {
        const int rowBytes = av_image_get_linesize(AVPixelFormat(frame->format), frame->width, plane);
        const int rows = plane == 0 ? frame->height : AV_CEIL_RSHIFT(frame->height, descriptor->log2_chroma_h);
        copyPlane(video.bits(plane), video.bytesPerLine(plane), frame->data[plane], frame->linesize[plane],
                  std::min(rowBytes, video.bytesPerLine(plane)), rows,
                  fix ? planeLevels(original, plane) : QList<const Levels *>{});
    }
    video.unmap();
    return video;
}

// Anything else is converted to 8-bit 4:2:0 first.
QVideoFrame convertToYuv420(const AVFrame *frame, const QVideoFrameFormat &format)
{
    SwsContextPtr scaler(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                        frame->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    FramePtr converted(av_frame_alloc());
    if (!scaler || !converted)
        return {};
    converted->format = AV_PIX_FMT_YUV420P;
    converted->width = frame->width;
    converted->height = frame->height;
    if (av_frame_get_buffer(converted.get(), 0) < 0)
        return {};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, converted->data, converted->linesize);
    QVideoFrameFormat planar(format.frameSize(), QVideoFrameFormat::Format_YUV420P);
    planar.setColorSpace(format.colorSpace());
    planar.setColorRange(format.colorRange());
    planar.setColorTransfer(format.colorTransfer());
    return copyDirect(converted.get(), planar);
}

}

QVideoFrameFormat::ColorSpace colorSpace(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return QVideoFrameFormat::ColorSpace_BT709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
        return QVideoFrameFormat::ColorSpace_BT601;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return QVideoFrameFormat::ColorSpace_BT2020;
    default:
        return highDefinition(frame) ? QVideoFrameFormat::ColorSpace_BT709 : QVideoFrameFormat::ColorSpace_BT601;
    }
}

QVideoFrameFormat::ColorRange colorRange(const AVFrame *frame)
{
    if (frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P
        || frame->format == AV_PIX_FMT_YUVJ422P)
        return QVideoFrameFormat::ColorRange_Full;
    return QVideoFrameFormat::ColorRange_Video;
}

QVideoFrame toVideoFrame(const AVFrame *frame)
{
    if (frame->width <= 0 || frame->height <= 0)
        return {};
    QVideoFrameFormat format(QSize(frame->width, frame->height), directFormat(frame->format));
    format.setColorSpace(colorSpace(frame));
    format.setColorRange(colorRange(frame));
    format.setColorTransfer(colorTransfer(frame));
    if (format.pixelFormat() == QVideoFrameFormat::Format_Invalid)
        return convertToYuv420(frame, format);
    return copyDirect(frame, format);
}

QImage toBgra(const AVFrame *frame)
{
    SwsContext *scaler = nullptr;
    QImage image = toBgra(frame, {}, scaler);
    sws_freeContext(scaler);
    return image;
}

QImage toBgra(const AVFrame *frame, QSize size, SwsContext *&scaler)
{
    if (!frame || frame->width <= 0 || frame->height <= 0)
        return {};
    if (size.isEmpty())
        size = QSize(frame->width, frame->height);
    // Area averaging when shrinking, so that a small copy still sees fine detail.
    const int flags = size.width() < frame->width ? SWS_AREA : SWS_POINT;
    scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format), size.width(),
                                  size.height(), AV_PIX_FMT_BGRA, flags, nullptr, nullptr, nullptr);
    if (!scaler)
        return {};
    const int *coefficients = sws_getCoefficients(swsColorspace(colorSpace(frame)));
    const int fullRange = colorRange(frame) == QVideoFrameFormat::ColorRange_Full ? 1 : 0;
    sws_setColorspaceDetails(scaler, coefficients, fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                             1 << 16);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return image;
}

QSizeF displaySize(const AVFrame *frame)
{
    const AVRational sample = frame->sample_aspect_ratio;
    const double widthScale = sample.num > 0 && sample.den > 0 ? av_q2d(sample) : 1.0;
    return QSizeF(frame->width * widthScale, frame->height);
}
}
