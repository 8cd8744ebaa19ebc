// Cost of motion analysis per 1080p BGRA frame, next to a plain swscale BGRA -> GRAY8 reduction to the
// same 96-column size as a reference for "what reading the frame at all costs".

#include "playback/MotionDetector.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <algorithm>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int frameCount = 300;
constexpr int width = 1920;
constexpr int height = 1080;
constexpr int analysedHeight = 54;

// A noise-free scene with a bright square walking across it, so grouping has work to do.
QList<QImage> walkingSquareFrames()
{
    QImage background(width, height, QImage::Format_RGB32);
    background.fill(qRgb(60, 70, 65));
    QList<QImage> frames;
    for (int i = 0; i < 16; ++i) {
        QImage frame = background.copy();
        QPainter painter(&frame);
        painter.fillRect(QRect(100 + 90 * i, 300 + 20 * i, 240, 200), qRgb(230, 220, 210));
        frames.append(frame);
    }
    return frames;
}

struct Figures
{
    double median = 0;
    double p95 = 0;
};

Figures summarise(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto at = [&](double q) { return nanoseconds[qsizetype(q * (nanoseconds.size() - 1))] / 1000.0; };
    return {at(0.5), at(0.95)};
}

template<typename Work>
Figures timeEach(const QList<QImage> &frames, Work work)
{
    QList<qint64> costs;
    QElapsedTimer timer;
    for (int i = 0; i < frameCount; ++i) {
        const QImage &frame = frames[i % frames.size()];
        timer.start();
        work(frame, i);
        costs.append(timer.nsecsElapsed());
    }
    return summarise(costs);
}

Figures swscaleReference(const QList<QImage> &frames, int flags)
{
    SwsContext *context = sws_getContext(width, height, AV_PIX_FMT_BGRA, MotionDetector::targetWidth,
                                         analysedHeight, AV_PIX_FMT_GRAY8, flags, nullptr, nullptr, nullptr);
    QByteArray grey(MotionDetector::targetWidth * analysedHeight, 0);
    const Figures figures = timeEach(frames, [&](const QImage &frame, int) {
        const uint8_t *source[] = {frame.constBits()};
        const int sourceStride[] = {int(frame.bytesPerLine())};
        uint8_t *target[] = {reinterpret_cast<uint8_t *>(grey.data())};
        const int targetStride[] = {MotionDetector::targetWidth};
        sws_scale(context, source, sourceStride, 0, height, target, targetStride);
    });
    sws_freeContext(context);
    return figures;
}

void print(QTextStream &out, const char *what, const Figures &figures)
{
    out << qSetFieldWidth(50) << Qt::left << what << qSetFieldWidth(0) << Qt::fixed << qSetRealNumberPrecision(1)
        << "median " << figures.median << " us   p95 " << figures.p95 << " us\n";
}

} // namespace

int main()
{
    const QList<QImage> frames = walkingSquareFrames();
    QTextStream out(stdout);
    out << frameCount << " frames of " << width << "x" << height << " BGRA, analysed at "
        << MotionDetector::targetWidth << "x" << analysedHeight << "\n";

    MotionDetector detector;
    qsizetype boxes = 0;
    const Figures analysis = timeEach(frames, [&](const QImage &frame, int i) {
        boxes += detector.analyze(frame, 0.12 * i).size();
    });
    qsizetype values = 0;
    const Figures reading = timeEach(frames, [&](const QImage &frame, int) {
        values += MotionDetector::readGrey(frame)->values.size();
    });

    print(out, "MotionDetector::analyze (read + detect)", analysis);
    print(out, "MotionDetector::readGrey (read only)", reading);
    print(out, "sws_scale BGRA->GRAY8 96x54, SWS_POINT", swscaleReference(frames, SWS_POINT));
    print(out, "sws_scale BGRA->GRAY8 96x54, SWS_FAST_BILINEAR", swscaleReference(frames, SWS_FAST_BILINEAR));
    print(out, "sws_scale BGRA->GRAY8 96x54, SWS_BILINEAR", swscaleReference(frames, SWS_BILINEAR));
    out << "boxes reported: " << boxes << ", grey values read: " << values << "\n";
    return 0;
}
