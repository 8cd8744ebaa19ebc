#pragma once
#include "playback/FFmpeg.h"

#include <QImage>
#include <QSizeF>
#include <QVideoFrame>
#include <QVideoFrameFormat>

// Decoded pictures for the screen (YUV as the decoder made them, with their colour description)
// and for the analyzer and snapshots (32-bit BGRA).
namespace VideoFrameConversion {
QVideoFrameFormat::ColorSpace colorSpace(const AVFrame *frame);
QVideoFrameFormat::ColorRange colorRange(const AVFrame *frame);
QVideoFrame toVideoFrame(const AVFrame *frame);
// Bytes B, G, R, A in memory (QImage::Format_RGB32 on little-endian machines).
QImage toBgra(const AVFrame *frame);
// Same, scaled to `size` (the frame's own when empty) by `scaler`, which is kept for the next
// call and remade only when the frame's size or format or `size` change. The caller frees it.
QImage toBgra(const AVFrame *frame, QSize size, SwsContext *&scaler);
// The picture's shape on screen: the stored width stretched by the sample aspect ratio
// (anamorphic streams store fewer columns than they show).
QSizeF displaySize(const AVFrame *frame);
}
