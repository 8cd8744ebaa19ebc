#pragma once
#include <QElapsedTimer>

// Item time that advances with the system clock at the playback rate while running. The player
// pauses it while it waits for pictures and nudges it towards the sound actually heard.
class PlaybackClock
{
public:
    PlaybackClock() { m_wall.start(); }

    double time() const;
    void setTime(double seconds);
    void setRate(double rate);
    void setRunning(bool running);
    bool running() const { return m_running; }

private:
    double wallSeconds() const { return double(m_wall.nsecsElapsed()) / 1e9; }

    QElapsedTimer m_wall;
    double m_anchorTime = 0;
    double m_anchorWall = 0;
    double m_rate = 1;
    bool m_running = false;
};
