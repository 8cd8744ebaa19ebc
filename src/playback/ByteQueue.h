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

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<QByteArray> m_chunks;
    qsizetype m_offset = 0; // into m_chunks.front()
    qint64 m_buffered = 0;
    qint64 m_highWater;
    State m_state = State::Open;
    QString m_failure;
    std::function<void()> m_drained;
};
