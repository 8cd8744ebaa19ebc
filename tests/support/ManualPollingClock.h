#pragma once
#include "state/PollingClock.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>

// A PollingClock that moves only when the test advances it. A wait whose deadline has passed
// ends on the event loop, as a real timer would; a stopped wait ends at once.
class ManualPollingClock final : public PollingClock
{
public:
    QCoro::Task<> sleep(std::chrono::milliseconds duration, std::shared_ptr<StopToken> stop) override
    {
        QTimer timer;
        timer.setSingleShot(true);
        timer.start(std::chrono::hours(24)); // parked: only advance() or the stop token ends it
        m_waits.append({m_now + duration, duration, &timer});
        co_await waitForTimer(timer, std::move(stop));
    }

    void advance(std::chrono::milliseconds by)
    {
        m_now += by;
        for (const Wait &wait : std::as_const(m_waits)) {
            if (wait.timer && wait.deadline <= m_now)
                wait.timer->start(0);
        }
    }

    // Waits of that length still running (neither elapsed nor stopped).
    int pending(std::chrono::milliseconds duration) const
    {
        return int(std::count_if(m_waits.begin(), m_waits.end(), [&](const Wait &wait) {
            return wait.timer && wait.duration == duration && wait.deadline > m_now
                && wait.timer->remainingTimeAsDuration() > std::chrono::seconds(1);
        }));
    }

private:
    struct Wait
    {
        std::chrono::milliseconds deadline;
        std::chrono::milliseconds duration;
        QPointer<QTimer> timer;
    };
    std::chrono::milliseconds m_now{0};
    QList<Wait> m_waits;
};
