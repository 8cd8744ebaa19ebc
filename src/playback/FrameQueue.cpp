#include "playback/FrameQueue.h"

FrameQueue::FrameQueue(int capacity)
    : m_capacity(capacity)
{
}

void FrameQueue::setNotify(std::function<void()> notify)
{
    std::lock_guard lock(m_mutex);
    m_notify = std::move(notify);
}

bool FrameQueue::push(DecodedFrame frame)
{
    std::unique_lock lock(m_mutex);
    m_space.wait(lock, [this] { return m_aborted || int(m_frames.size()) < m_capacity; });
    if (m_aborted)
        return false;
    m_frames.push_back(std::move(frame));
    if (m_notify)
        m_notify();
    return true;
}

void FrameQueue::finish()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    if (m_notify)
        m_notify();
}

void FrameQueue::fail(const QString &message)
{
    std::lock_guard lock(m_mutex);
    if (m_failure)
        return;
    m_failure = message;
    m_finished = true;
    if (m_notify)
        m_notify();
}

void FrameQueue::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        m_notify = {};
    }
    m_space.notify_all();
}

std::optional<DecodedFrame> FrameQueue::front() const
{
    std::lock_guard lock(m_mutex);
    if (m_frames.empty())
        return std::nullopt;
    return m_frames.front();
}

std::optional<DecodedFrame> FrameQueue::pop()
{
    std::optional<DecodedFrame> frame;
    {
        std::lock_guard lock(m_mutex);
        if (m_frames.empty())
            return std::nullopt;
        frame = std::move(m_frames.front());
        m_frames.pop_front();
    }
    m_space.notify_all();
    return frame;
}

bool FrameQueue::empty() const
{
    std::lock_guard lock(m_mutex);
    return m_frames.empty();
}

bool FrameQueue::full() const
{
    std::lock_guard lock(m_mutex);
    return int(m_frames.size()) >= m_capacity;
}

bool FrameQueue::drained() const
{
    std::lock_guard lock(m_mutex);
    return m_finished && m_frames.empty();
}

std::optional<QString> FrameQueue::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}
