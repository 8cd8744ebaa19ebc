#pragma once
#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

// Sound ready for the audio device: interleaved samples in the device's format, stamped with the
// item time of their first sample and the speed they were stretched for.
struct AudioChunk
{
    double time = 0;
    double rate = 1;
    QByteArray pcm;
};

// Sound from the decoding thread to the GUI thread, bounded by playing time so the decoder never
// runs far ahead; a full queue blocks the producer until the device takes some or abort() is called.
class AudioQueue
{
public:
    explicit AudioQueue(double capacitySeconds = 2.0) : m_capacity(capacitySeconds) {}

    bool push(AudioChunk chunk, double seconds);
    std::optional<AudioChunk> pop();
    std::optional<AudioChunk> front() const;
    void clear();
    void abort();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<std::pair<AudioChunk, double>> m_chunks;
    double m_seconds = 0;
    double m_capacity;
    bool m_aborted = false;
};
