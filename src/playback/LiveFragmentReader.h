#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// One moof+mdat pair of a live fragmented MP4 stream (go2rtc writes one sample per pair).
struct LiveFragment
{
    QByteArray bytes; // the moof and mdat boxes, as received
    quint32 track = 0;
    double time = 0; // tfdt in seconds, on the track's media timescale
    bool video = false;
    bool sync = false; // the first sample is a sync sample (a key frame for video)
};

// Splits the binary WebSocket frames of the relay into the init segment and moof+mdat pairs, and
// reads what the player needs from them. Only the boxes' own sizes are trusted after checking:
// bad input gives an error, never a read past the frame.
class LiveFragmentReader
{
public:
    struct Result
    {
        QByteArray init; // ftyp+moov, when the frame held them
        QList<LiveFragment> fragments;
        QString error; // set when the frame could not be read; nothing of it is used then
    };

    Result read(const QByteArray &frame);

private:
    struct Track
    {
        quint32 id = 0;
        quint32 timescale = 0;
        quint32 defaultFlags = 0; // trex default sample flags
        bool video = false;
    };

    QString readMoov(const QByteArray &moov, QList<Track> &tracks) const;
    QString readFragment(const QByteArray &moof, LiveFragment &fragment) const;
    const Track *track(quint32 id) const;

    QList<Track> m_tracks;
};
