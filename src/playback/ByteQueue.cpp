#include "playback/ByteQueue.h"

#include <cstring>

ByteQueue::ByteQueue(qint64 highWater)
    : m_highWater(highWater)
{
}

void ByteQueue::setDrainedCallback(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_drained = std::move(callback);
}

void ByteQueue::append(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Open)
            return;
        m_chunks.push_back(bytes);
        m_buffered += bytes.size();
    }
    m_ready.notify_all();
}

void ByteQueue::finish()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Open)
            m_state = State::Finished;
    }
    m_ready.notify_all();
}

void ByteQueue::fail(const QString &message)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Open)
            return;
        m_state = State::Failed;
        m_failure = message;
    }
    m_ready.notify_all();
}

void ByteQueue::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_state = State::Aborted;
        m_chunks.clear();
        m_buffered = 0;
    }
    m_ready.notify_all();
}

qint64 ByteQueue::buffered() const
{
    std::lock_guard lock(m_mutex);
    return m_buffered;
}

ByteQueue::State ByteQueue::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

QString ByteQueue::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

int ByteQueue::read(char *data, int size)
{
    int copied = 0;
    {
        std::unique_lock lock(m_mutex);
        // A failure still lets the demuxer read what arrived before it, as a cut-off stream would.
        m_ready.wait(lock, [this] { return m_buffered > 0 || m_state != State::Open; });
        if (m_state == State::Aborted)
            return -1;
        if (m_buffered == 0)
            return m_state == State::Finished ? 0 : -1;
        const bool wasAbove = m_buffered >= m_highWater / 2;
        while (copied < size && !m_chunks.empty()) {
            const QByteArray &front = m_chunks.front();
            const int take = int(std::min<qsizetype>(size - copied, front.size() - m_offset));
            std::memcpy(data + copied, front.constData() + m_offset, size_t(take));
            copied += take;
            m_offset += take;
            if (m_offset == front.size()) {
                m_chunks.pop_front();
                m_offset = 0;
            }
        }
        m_buffered -= copied;
        m_consumed += copied;
        // Called under the lock so that clearing the callback guarantees no later call.
        if (wasAbove && m_buffered < m_highWater / 2 && m_drained)
            m_drained();
    }
    return copied;
}

std::optional<QByteArray> ByteQueue::take()
{
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return m_buffered > 0 || m_state != State::Open; });
    if (m_state == State::Aborted || m_chunks.empty())
        return std::nullopt;
    QByteArray piece = m_chunks.front().mid(m_offset);
    m_chunks.pop_front();
    m_offset = 0;
    m_buffered -= piece.size();
    m_consumed += piece.size();
    return piece;
}

qint64 ByteQueue::dropUnread()
{
    std::lock_guard lock(m_mutex);
    const bool begun = m_offset > 0 && !m_chunks.empty();
    std::optional<QByteArray> current;
    if (begun)
        current = m_chunks.front();
    const qint64 kept = begun ? current->size() - m_offset : 0;
    m_chunks.clear();
    if (current)
        m_chunks.push_back(*current);
    else
        m_offset = 0;
    m_buffered = kept;
    return m_consumed + kept;
}

qint64 ByteQueue::consumed() const
{
    std::lock_guard lock(m_mutex);
    return m_consumed;
}
