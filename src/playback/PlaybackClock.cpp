#include "playback/PlaybackClock.h"

double PlaybackClock::time() const
{
    if (!m_running)
        return m_anchorTime;
    return m_anchorTime + (wallSeconds() - m_anchorWall) * m_rate;
}

void PlaybackClock::setTime(double seconds)
{
    m_anchorTime = seconds;
    m_anchorWall = wallSeconds();
}

void PlaybackClock::setRate(double rate)
{
    setTime(time());
    m_rate = rate;
}

void PlaybackClock::setRunning(bool running)
{
    if (running == m_running)
        return;
    setTime(time());
    m_running = running;
}
