#include "playback/RecordingTimeline.h"

#include <algorithm>

RecordingTimeline::RecordingTimeline(double start)
    : m_start(start)
{ }

RecordingTimeline::RecordingTimeline(const QList<RecordingSegment> &segments, double start, double end,
                                     bool trimsToStart)
    : m_start(start)
{
    double media = 0;
    for (const RecordingSegment &segment : segments) {
        if (segment.end_time <= start || segment.start_time >= end)
            continue;
        const bool first = m_pieces.isEmpty();
        const double from = first && trimsToStart ? std::max(segment.start_time, start) : segment.start_time;
        const double to = std::min(segment.end_time, end);
        if (to <= from)
            continue;
        m_pieces.append({media, from, to - from});
        media += to - from;
    }
}

double RecordingTimeline::wallTime(double media) const
{
    if (m_pieces.isEmpty())
        return m_start + media;
    // The last piece whose media start is at or before `media`; times past the end run on from it.
    auto after = std::upper_bound(m_pieces.begin(), m_pieces.end(), media,
                                  [](double value, const Piece &piece) { return value < piece.media; });
    const Piece &piece = after == m_pieces.begin() ? m_pieces.first() : *(after - 1);
    return piece.wall + (media - piece.media);
}

double RecordingTimeline::mediaTime(double wall) const
{
    if (m_pieces.isEmpty())
        return std::max(0.0, wall - m_start);
    for (const Piece &piece : m_pieces) {
        if (wall < piece.wall)
            return piece.media;
        if (wall < piece.wall + piece.length)
            return piece.media + (wall - piece.wall);
    }
    const Piece &last = m_pieces.last();
    return last.media + last.length;
}
