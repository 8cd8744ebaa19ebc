#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

struct HlsSegment
{
    QUrl url;
    double start = 0;    // seconds from the start of the playlist
    double duration = 0;

    bool operator==(const HlsSegment &) const = default;
};

// A video-on-demand media playlist: the optional fMP4 initialisation section and the segments.
struct HlsMediaPlaylist
{
    std::optional<QUrl> initSection;
    QList<HlsSegment> segments;

    double duration() const;
    // Index of the segment that holds `seconds` (clamped to the first and last segment).
    int segmentAt(double seconds) const;
    bool fragmentedMp4() const { return initSection.has_value(); }
};

// What one playlist text turned out to be: a master playlist naming the variant to play, a media
// playlist, or something that cannot be played (with the message to show).
struct HlsPlaylist
{
    enum class Kind { Master, Media, Invalid };

    Kind kind = Kind::Invalid;
    QUrl variant;
    HlsMediaPlaylist media;
    QString error;

    // URIs are resolved against `location`; a URI without a query inherits the playlist's query.
    static HlsPlaylist parse(const QByteArray &text, const QUrl &location);
};
