#include "playback/HlsPlaylist.h"

#include "playback/PlaybackError.h"

#include <QRegularExpression>
#include <cmath>

namespace {

HlsPlaylist invalid(const QString &message)
{
    HlsPlaylist playlist;
    playlist.error = message;
    return playlist;
}

QStringList playlistLines(const QByteArray &text)
{
    QString decoded = QString::fromUtf8(text);
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);
    QStringList lines;
    for (const QString &line : decoded.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines;
}

QUrl resolve(const QUrl &location, const QString &reference)
{
    QUrl url = location.resolved(QUrl(reference));
    if (!url.hasQuery() && location.hasQuery())
        url.setQuery(location.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

// Value of a quoted attribute such as URI="init-v1-a1.mp4".
std::optional<QString> quotedAttribute(const QString &line, const QString &name)
{
    static const QRegularExpression attribute(QStringLiteral("(?:^|[:,])([A-Z0-9-]+)=(\"[^\"]*\"|[^,]*)"));
    auto matches = attribute.globalMatch(line);
    while (matches.hasNext()) {
        const auto match = matches.next();
        if (match.captured(1) != name)
            continue;
        QString value = match.captured(2);
        if (value.startsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

std::optional<double> segmentDuration(const QString &line)
{
    const QString value = line.mid(int(qstrlen("#EXTINF:"))).section(QLatin1Char(','), 0, 0).trimmed();
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        return std::nullopt;
    return seconds;
}

HlsPlaylist parseMaster(const QStringList &lines, const QUrl &location)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("#EXT-X-STREAM-INF:")))
            continue;
        for (int j = i + 1; j < lines.size(); ++j) {
            if (lines[j].startsWith(QLatin1Char('#')))
                continue;
            HlsPlaylist playlist;
            playlist.kind = HlsPlaylist::Kind::Master;
            playlist.variant = resolve(location, lines[j]);
            return playlist;
        }
    }
    return invalid(PlaybackError::notPlaylist());
}

HlsPlaylist parseMedia(const QStringList &lines, const QUrl &location)
{
    HlsPlaylist playlist;
    playlist.kind = HlsPlaylist::Kind::Media;
    double pending = -1; // duration of the segment whose URI comes next, -1 when none
    double start = 0;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("#EXT-X-MAP:"))) {
            const auto uri = quotedAttribute(line, QStringLiteral("URI"));
            if (!uri || uri->isEmpty() || quotedAttribute(line, QStringLiteral("BYTERANGE")))
                return invalid(PlaybackError::notPlaylist());
            playlist.media.initSection = resolve(location, *uri);
        } else if (line.startsWith(QLatin1String("#EXTINF:"))) {
            const auto duration = segmentDuration(line);
            if (!duration)
                return invalid(PlaybackError::notPlaylist());
            pending = *duration;
        } else if (line.startsWith(QLatin1String("#EXT-X-BYTERANGE"))) {
            return invalid(PlaybackError::notPlaylist());
        } else if (!line.startsWith(QLatin1Char('#')) && pending >= 0) {
            playlist.media.segments.append({resolve(location, line), start, pending});
            start += pending;
            pending = -1;
        }
    }
    if (playlist.media.segments.isEmpty() || playlist.media.duration() <= 0)
        return invalid(PlaybackError::emptyPlaylist());
    return playlist;
}

}

double HlsMediaPlaylist::duration() const
{
    return segments.isEmpty() ? 0 : segments.last().start + segments.last().duration;
}

int HlsMediaPlaylist::segmentAt(double seconds) const
{
    for (int i = segments.size() - 1; i > 0; --i) {
        if (seconds >= segments[i].start)
            return i;
    }
    return 0;
}

HlsPlaylist HlsPlaylist::parse(const QByteArray &text, const QUrl &location)
{
    const QStringList lines = playlistLines(text);
    if (lines.isEmpty() || lines.first() != QLatin1String("#EXTM3U"))
        return invalid(PlaybackError::notPlaylist());
    const bool master = std::any_of(lines.begin(), lines.end(), [](const QString &line) {
        return line.startsWith(QLatin1String("#EXT-X-STREAM-INF:"));
    });
    return master ? parseMaster(lines, location) : parseMedia(lines, location);
}
