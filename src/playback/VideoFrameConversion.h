#pragma once
#include "playback/FFmpeg.h"

#include <QImage>
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
}
