#pragma once
#include <QImage>
#include <QList>
#include <QRectF>
#include <optional>

// A small grey copy of one video frame, row-major, values 0...255 in quarter steps.
struct GreyFrame
{
    int width = 0;
    int height = 0;
    QList<float> values;
};

// Finds the regions of a frame that changed against a running-average background.
// Not thread-safe: one instance belongs to one thread (MotionAnalyzer runs it on its worker).
class MotionDetector
{
public:
    static constexpr int targetWidth = 96;
    static constexpr int cell = 4;
    static constexpr float threshold = 22.0f;
    static constexpr float learningRate = 0.08f;

    // 96 columns and the frame's shape, at least 16 rows; empty for an empty frame.
    static QSize analysisSize(QSize frame);
    // Grey image 96 columns wide (at least 16 rows); nothing for frames that are not BGRA in memory.
    static std::optional<GreyFrame> readGrey(const QImage &frame);

    // Boxes normalised to the frame (0...1, origin top left) of what moved since the background;
    // empty while the background is being (re)built or when the whole scene changed at once.
    QList<QRectF> analyze(const QImage &frame, double time);

    // Forget the background; the next frame only rebuilds it.
    void reset();

    int width() const { return m_width; }
    int height() const { return m_height; }
    double lastTime() const { return m_lastTime; }
    const QList<float> &background() const { return m_background; }

private:
    QList<bool> foldIntoBackground(const QList<float> &grey, qsizetype &changedCount);
    QList<QRectF> boxesFromChanges(const QList<bool> &changed) const;

    QList<float> m_background;
    int m_width = 0;
    int m_height = 0;
    double m_lastTime = -1;
};
