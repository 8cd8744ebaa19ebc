#pragma once
#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// The stream of playlist bytes between the network (GUI thread, producer) and the demuxer (its
// worker thread, consumer). The consumer blocks until bytes, the end or a failure arrive; the
// producer looks at buffered() to stop fetching while the demuxer is far behind.
class ByteQueue
{
public:
    enum class State { Open, Finished, Failed, Aborted };

    explicit ByteQueue(qint64 highWater = 24LL << 20);

    // Called on the consumer's thread, under the queue's lock, after a read took the queue below
    // half of `highWater`: it may only post work elsewhere. Clearing it waits for a running call.
    void setDrainedCallback(std::function<void()> callback);

    void append(const QByteArray &bytes);
    void finish();
    void fail(const QString &message);
    void abort();

    qint64 buffered() const;
    bool full() const { return buffered() >= m_highWater; }
    State state() const;
    QString failure() const;

    // Blocks until at least one byte can be copied; 0 at the clean end, -1 after fail() or abort().
    int read(char *data, int size);
    // Blocks until the next appended piece is there, and takes it whole (for consumers that read
    // pieces, never bytes); nothing at the end, after fail() or abort().
    std::optional<QByteArray> take();
    // Drops every piece not yet begun by the consumer (a piece it is in the middle of stays, so
    // that what it reads stays whole boxes); answers the stream offset where the drop began, the
    // end of that piece.
    qint64 dropUnread();
    // Bytes the consumer took so far.
    qint64 consumed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<QByteArray> m_chunks;
    qsizetype m_offset = 0; // into m_chunks.front()
    qint64 m_buffered = 0;
    qint64 m_consumed = 0;
    qint64 m_highWater;
    State m_state = State::Open;
    QString m_failure;
    std::function<void()> m_drained;
};
