#pragma once
#include "playback/FFmpeg.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QThread>
#include <atomic>
#include <functional>

class MotionWorker;

// Runs a MotionDetector on its own serial worker thread ("Kestrova.motion"), where decoded pictures
// are also scaled down for it. Frames and resets are
// served in call order; each result is delivered on the thread this object lives in (the GUI thread).
// One frame is in flight at a time: a frame offered before the previous result was delivered is refused.
class MotionAnalyzer : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(const QList<QRectF> &boxes)>;

    explicit MotionAnalyzer(QObject *parent = nullptr);
    ~MotionAnalyzer() override;

    // Queues one BGRA frame shown at `time` (seconds of item time). Returns false, without calling
    // `completion`, while another frame is still in flight. A completion pending when the analyzer is
    // destroyed is never called.
    bool analyze(const QImage &frame, double time, Completion completion);
    // Same for a decoded picture, which the worker scales straight to the analysis size.
    bool analyze(SharedFrame frame, double time, Completion completion);

    // Queued after any frame already handed over: the next frame only rebuilds the background.
    void reset();

    bool isBusy() const { return m_busy.load(); }

private:
    bool submit(std::function<QImage(MotionWorker *)> read, double time, Completion completion);
    void deliver(const QList<QRectF> &boxes, const Completion &completion);

    QThread m_thread;
    MotionWorker *m_worker = nullptr;
    std::atomic_bool m_busy = false;
};
