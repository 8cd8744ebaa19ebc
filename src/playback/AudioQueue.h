#pragma once
#include <QByteArray>
#include <deque>
#include <mutex>
#include <optional>

// Sound ready for the audio device: interleaved samples in the device's format (not yet stretched
// to the playback speed), stamped with the item time of their first sample.
struct AudioChunk
{
    double time = 0;
    QByteArray pcm;
};

// Sound from the decoding thread to the GUI thread. Pushing never waits: the decoder's pace is set
// by the pictures (waiting on the sound could starve the screen whose clock the sound waits on), so
// the sound queued stays within the container's interleaving distance of the pictures. The cap
// only guards against streams whose pictures never come.
class AudioQueue
{
public:
    explicit AudioQueue(double capacitySeconds = 10.0) : m_capacity(capacitySeconds) {}

    // False when the chunk was dropped (queue over capacity or aborted).
    bool push(AudioChunk chunk, double seconds);
    std::optional<AudioChunk> pop();
    std::optional<AudioChunk> front() const;
    void abort();

private:
    mutable std::mutex m_mutex;
    std::deque<std::pair<AudioChunk, double>> m_chunks;
    double m_seconds = 0;
    double m_capacity;
    bool m_aborted = false;
};
