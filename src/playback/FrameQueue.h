#pragma once
#include "playback/FFmpeg.h"

#include <QString>
#include <QVideoFrame>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// One picture ready for the screen, at its time in the item.
struct DecodedFrame
{
    double time = 0;
    double duration = 0;
    QVideoFrame video;
    SharedFrame source; // the decoder's picture, for BGRA copies on demand
};

// Pictures from the decoding thread to the GUI thread: at most `capacity` wait, so the decoder
// runs only a few frames ahead of the screen. The stream's end or failure travels behind them.
class FrameQueue
{
public:
    explicit FrameQueue(int capacity = 3);

    // Called after every push, finish and fail, under the queue's lock: it may only post work.
    void setNotify(std::function<void()> notify);

    // Blocks while full; false once aborted.
    bool push(DecodedFrame frame);
    void finish();
    void fail(const QString &message);
    void abort();

    std::optional<DecodedFrame> front() const;
    std::optional<DecodedFrame> pop();
    bool empty() const;
    bool full() const;
    // True when the stream ended (cleanly or not) and every picture was taken.
    bool drained() const;
    std::optional<QString> failure() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<DecodedFrame> m_frames;
    int m_capacity;
    bool m_finished = false;
    bool m_aborted = false;
    std::optional<QString> m_failure;
    std::function<void()> m_notify;
};
