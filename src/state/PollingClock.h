#pragma once
#include <QObject>
#include <QCoro/QCoroTask>
#include <chrono>
#include <memory>

class QTimer;

// One-way stop signal shared between the model and one of its background tasks. A task
// checks it after every suspension; a stopped task never touches the model again.
class StopToken : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isStopped() const { return m_stopped; }
    void stop();

signals:
    void stopped();

private:
    bool m_stopped = false;
};

// How the model's background tasks wait (the polling interval, the pause after marking).
// Tests substitute a clock they advance by hand.
class PollingClock
{
public:
    virtual ~PollingClock() = default;
    // Ends after `duration`, or soon after `stop` is stopped, whichever comes first.
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration, std::shared_ptr<StopToken> stop) = 0;

protected:
    // Waits for `timer`, which the caller has started; stopping the token fires it at once.
    static QCoro::Task<> waitForTimer(QTimer &timer, std::shared_ptr<StopToken> stop);
};

// Monotonic timers without tolerance.
class SystemPollingClock final : public PollingClock
{
public:
    QCoro::Task<> sleep(std::chrono::milliseconds duration, std::shared_ptr<StopToken> stop) override;
};
