#include "playback/MotionAnalyzer.h"

#include "playback/MotionDetector.h"

// Lives on the analyzer's thread; the detector is touched only there.
class MotionWorker : public QObject
{
public:
    MotionDetector detector;
};

MotionAnalyzer::MotionAnalyzer(QObject *parent)
    : QObject(parent)
    , m_worker(new MotionWorker)
{
    m_thread.setObjectName(QStringLiteral("Kestrova.motion"));
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::HighPriority);
}

MotionAnalyzer::~MotionAnalyzer()
{
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

bool MotionAnalyzer::analyze(const QImage &frame, double time, Completion completion)
{
    bool idle = false;
    if (!m_busy.compare_exchange_strong(idle, true))
        return false;
    MotionWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [this, worker, frame, time, completion = std::move(completion)] {
        const QList<QRectF> boxes = worker->detector.analyze(frame, time);
        QMetaObject::invokeMethod(this, [this, boxes, completion] { deliver(boxes, completion); },
                                  Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    return true;
}

void MotionAnalyzer::reset()
{
    MotionWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->detector.reset(); }, Qt::QueuedConnection);
}

void MotionAnalyzer::deliver(const QList<QRectF> &boxes, const Completion &completion)
{
    m_busy = false;
    if (completion)
        completion(boxes);
}
