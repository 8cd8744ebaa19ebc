#include "playback/LiveIntake.h"

#include "client/Logging.h"
#include "playback/ByteQueue.h"

#include <algorithm>

LiveIntake::LiveIntake(Kind kind, std::shared_ptr<ByteQueue> queue)
    : m_kind(kind)
    , m_queue(std::move(queue))
{ }

QString LiveIntake::push(const QByteArray &bytes)
{
    if (m_kind == Kind::Jpeg) {
        const MjpegPartReader::Result parts = m_parts.read(bytes);
        for (const QByteArray &picture : parts.pictures) {
            // An MJPEG picture stands alone: only the newest one waiting is worth decoding.
            if (m_queue->buffered() + picture.size() > QueueLimit)
                m_queue->dropUnread();
            append(picture, nullptr);
        }
        return parts.error;
    }
    const LiveFragmentReader::Result read = m_fragments.read(bytes);
    if (!read.error.isEmpty())
        return read.error;
    if (!read.init.isEmpty() && !m_initQueued) {
        m_initQueued = true;
        LiveFragment init;
        init.bytes = read.init;
        append(read.init, &init);
        m_waiting.back().init = true;
    }
    for (const LiveFragment &fragment : read.fragments)
        pushFragment(fragment);
    return {};
}

void LiveIntake::pushFragment(const LiveFragment &fragment)
{
    if (fragment.video)
        m_edge = std::max(m_edge.value_or(fragment.time), fragment.time);
    forgetConsumed();
    if (m_queue->buffered() + fragment.bytes.size() > QueueLimit) {
        qCDebug(lcPlayback) << "live queue over" << QueueLimit << "bytes: dropping what waits";
        dropQueued(fragment.time + 1); // nothing waiting is kept
    }
    if (fragment.video && m_skipToSync && !fragment.sync)
        return;
    if (fragment.video && fragment.sync)
        m_skipToSync = false;
    append(fragment.bytes, &fragment);
    trim();
}

void LiveIntake::append(const QByteArray &bytes, const LiveFragment *fragment)
{
    m_queue->append(bytes);
    m_appended += bytes.size();
    if (fragment)
        m_waiting.push_back({.bytes = bytes,
                             .time = fragment->time,
                             .video = fragment->video,
                             .sync = fragment->sync,
                             .end = m_appended});
}

void LiveIntake::forgetConsumed()
{
    const qint64 consumed = m_queue->consumed();
    while (!m_waiting.empty() && m_waiting.front().end <= consumed)
        m_waiting.pop_front();
}

void LiveIntake::trim()
{
    const auto oldest = std::find_if(m_waiting.cbegin(), m_waiting.cend(), [](const Queued &q) { return !q.init; });
    if (oldest == m_waiting.cend() || m_waiting.back().time - oldest->time <= BufferLimit)
        return;
    qCDebug(lcPlayback) << "live queue holds over" << BufferLimit << "s: keeping the last" << BufferKeep << "s";
    dropQueued(m_waiting.back().time - BufferKeep);
}

// Drops every waiting fragment and queues again those from `keepFrom` on that can still be
// decoded: from the first video sync sample there (sound from the same point). An init segment
// not yet read is queued again in any case.
void LiveIntake::dropQueued(double keepFrom)
{
    std::deque<Queued> waiting;
    waiting.swap(m_waiting);
    m_appended = m_queue->dropUnread();
    bool synced = false;
    for (Queued &queued : waiting) {
        if (queued.end <= m_appended) {
            m_waiting.push_back(queued); // the piece being read stays
            continue;
        }
        synced = synced || (queued.video && queued.sync && queued.time >= keepFrom);
        if (!queued.init && (!synced || queued.time < keepFrom))
            continue;
        m_queue->append(queued.bytes);
        m_appended += queued.bytes.size();
        queued.end = m_appended;
        m_waiting.push_back(queued);
    }
    m_skipToSync = !synced;
}
