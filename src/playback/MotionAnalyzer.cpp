#include "playback/MotionAnalyzer.h"

#include "playback/MotionDetector.h"
#include "playback/VideoFrameConversion.h"

// Lives on the analyzer's thread; the detector and the scaler are touched only there.
class MotionWorker : public QObject
{
public:
    ~MotionWorker() override { sws_freeContext(scaler); }

    MotionDetector detector;
    SwsContext *scaler = nullptr; // kept while the pictures keep their size and format
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
    return submit([frame](MotionWorker *) { return frame; }, time, std::move(completion));
}

bool MotionAnalyzer::analyze(SharedFrame frame, double time, Completion completion)
{
    if (!frame)
        return false;
    auto read = [frame = std::move(frame)](MotionWorker *worker) {
        const QSize size = MotionDetector::analysisSize(QSize(frame->width, frame->height));
        return VideoFrameConversion::toBgra(frame.get(), size, worker->scaler);
    };
    return submit(std::move(read), time, std::move(completion));
}

bool MotionAnalyzer::submit(std::function<QImage(MotionWorker *)> read, double time, Completion completion)
{
    bool idle = false;
    if (!m_busy.compare_exchange_strong(idle, true))
        return false;
    MotionWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, read = std::move(read), time, completion = std::move(completion)] {
            const QList<QRectF> boxes = worker->detector.analyze(read(worker), time);
            QMetaObject::invokeMethod(
                this, [this, boxes, completion] { deliver(boxes, completion); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
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
