#pragma once
#include "client/WireRecords.h"

#include <QList>

// Maps the media time of a recording VOD to wall-clock time and back. Frigate's VOD joins the
// recording files that overlap the requested span with no discontinuity, so every gap between
// files vanishes from the media and "item start + position" falls behind after each one. Where
// media time 0 lies differs: 0.14/0.15 start at the first overlapping file (up to one file before
// the requested start); 0.16 trims the first file to the requested start (clipFrom).
class RecordingTimeline
{
public:
    // Without recording files: media time 0 is `start` and nothing is missing.
    explicit RecordingTimeline(double start = 0);
    // `segments` oldest first, as fetchRecordingSegments gives them; [start, end) is the span the
    // VOD was asked for, both already truncated to whole seconds as in its path.
    RecordingTimeline(const QList<RecordingSegment> &segments, double start, double end, bool trimsToStart);

    double wallTime(double media) const;
    // The media time showing `wall`; a wall time in a gap maps to the first picture after it,
    // one before the recording to 0, one after it to the end.
    double mediaTime(double wall) const;
    // The wall time media time 0 shows.
    double wallStart() const { return wallTime(0); }
    bool isMapped() const { return !m_pieces.isEmpty(); }

private:
    struct Piece
    {
        double media = 0; // media time where this file's part starts
        double wall = 0; // wall time at that media time
        double length = 0;
    };

    double m_start = 0;
    QList<Piece> m_pieces;
};
