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

void DecodeThread::start(SessionSpec spec)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(spec);
    }
    m_wake.notify_all();
}

void DecodeThread::loop()
{
    pthread_setname_np(pthread_self(), "Kestrova.media");
    for (;;) {
        std::optional<SessionSpec> spec;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_pending.has_value(); });
            if (m_quit)
                return;
            spec.swap(m_pending);
        }
        if (spec->control->aborted.load())
            continue;
        DemuxSession session(std::move(*spec));
        session.run();
    }
}
