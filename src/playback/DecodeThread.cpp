#include "playback/DecodeThread.h"

#include <pthread.h>

DecodeThread::DecodeThread()
    : m_thread([this] { loop(); })
{
}

DecodeThread::~DecodeThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_pending.reset();
    }
    m_wake.notify_all();
    m_thread.join();
}

void DecodeThread::start(std::shared_ptr<SessionControl> control, std::function<void()> session)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = Job{std::move(control), std::move(session)};
    }
    m_wake.notify_all();
}

void DecodeThread::loop()
{
    pthread_setname_np(pthread_self(), "Kestrova.media");
    for (;;) {
        std::optional<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_pending.has_value(); });
            if (m_quit)
                return;
            job.swap(m_pending);
        }
        if (!job->control->aborted.load())
            job->run();
    }
}
