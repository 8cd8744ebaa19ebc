#include "state/PollingClock.h"

#include <QTimer>
#include <QCoro/QCoroTimer>

void StopToken::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    emit stopped();
}

QCoro::Task<> PollingClock::waitForTimer(QTimer &timer, std::shared_ptr<StopToken> stop)
{
    if (stop->isStopped())
        co_return;
    QObject::connect(stop.get(), &StopToken::stopped, &timer, [&timer] { timer.start(0); });
    co_await timer;
}

QCoro::Task<> SystemPollingClock::sleep(std::chrono::milliseconds duration, std::shared_ptr<StopToken> stop)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    co_await waitForTimer(timer, std::move(stop));
}
