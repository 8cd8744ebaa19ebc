#pragma once
#include "playback/DemuxSession.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The one demux/decode thread of a player. It runs one session at a time; a newer session
// replaces one that has not started yet. Stopping a session is done through its queues and its
// control (abort them first), so the GUI thread never waits for the decoder.
class DecodeThread
{
public:
    DecodeThread();
    ~DecodeThread();
    DecodeThread(const DecodeThread &) = delete;
    DecodeThread &operator=(const DecodeThread &) = delete;

    // `session` runs on the thread unless `control` was aborted before it started.
    void start(std::shared_ptr<SessionControl> control, std::function<void()> session);

private:
    struct Job
    {
        std::shared_ptr<SessionControl> control;
        std::function<void()> run;
    };

    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_pending;
    bool m_quit = false;
    std::thread m_thread;
};
