#include "playback/AudioQueue.h"

bool AudioQueue::push(AudioChunk chunk, double seconds)
{
    std::lock_guard lock(m_mutex);
    if (m_aborted || m_seconds >= m_capacity)
        return false;
    m_chunks.emplace_back(std::move(chunk), seconds);
    m_seconds += seconds;
    return true;
}

std::optional<AudioChunk> AudioQueue::pop()
{
    std::lock_guard lock(m_mutex);
    if (m_chunks.empty())
        return std::nullopt;
    AudioChunk chunk = std::move(m_chunks.front().first);
    m_seconds -= m_chunks.front().second;
    m_chunks.pop_front();
    return chunk;
}

std::optional<AudioChunk> AudioQueue::front() const
{
    std::lock_guard lock(m_mutex);
    if (m_chunks.empty())
        return std::nullopt;
    return m_chunks.front().first;
}

void AudioQueue::abort()
{
    std::lock_guard lock(m_mutex);
    m_aborted = true;
    m_chunks.clear();
    m_seconds = 0;
}
