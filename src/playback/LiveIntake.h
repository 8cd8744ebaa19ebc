#pragma once
#include "playback/LiveFragmentReader.h"
#include "playback/MjpegPartReader.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

class ByteQueue;

// What a live stream's bytes go through on their way to the demuxer (GUI thread): the frames are
// cut into the init segment and fragments (or an MJPEG body into JPEGs) and queued whole, so the
// queue can be cut between them. It keeps the queue bounded as a browser's media source would:
// more than 4 MiB waiting drops what waits and keeps the newest fragment, and more than 30 s of
// media waiting keeps the last 10 s.
class LiveIntake
{
public:
    static constexpr qint64 QueueLimit = 4LL << 20;
    static constexpr double BufferLimit = 30;
    static constexpr double BufferKeep = 10;

    enum class Kind { Mp4, Jpeg };

    LiveIntake(Kind kind, std::shared_ptr<ByteQueue> queue);

    // Queues what `bytes` holds; an error text when they cannot be played.
    QString push(const QByteArray &bytes);
    // Stream time of the newest picture received (the last video fragment's decode time).
    std::optional<double> edge() const { return m_edge; }

private:
    struct Queued
    {
        QByteArray bytes;
        double time = 0;
        bool video = false;
        bool sync = false;
        bool init = false;
        qint64 end = 0; // queue offset just past it
    };

    void pushFragment(const LiveFragment &fragment);
    void append(const QByteArray &bytes, const LiveFragment *fragment);
    void forgetConsumed();
    void trim();
    void dropQueued(double keepFrom);

    Kind m_kind;
    std::shared_ptr<ByteQueue> m_queue;
    LiveFragmentReader m_fragments;
    MjpegPartReader m_parts;
    bool m_initQueued = false;
    // After a drop the next video fragments cannot decode without the pictures they refer to.
    bool m_skipToSync = false;
    std::optional<double> m_edge;
    std::deque<Queued> m_waiting; // fragments queued and not yet wholly read, oldest first
    qint64 m_appended = 0;
};
