#include "playback/PlaybackItem.h"

#include "client/FrigateClient.h"

#include <QHash>
#include <cmath>

namespace {

QString wholeSeconds(double seconds)
{
    return QString::number(qint64(std::trunc(seconds)));
}

}

size_t qHash(const PlaybackItem &item, size_t seed)
{
    const QString reviewId = item.review ? item.review->id : QString();
    return qHashMulti(seed, item.camera, item.cameraName, item.start, item.end, item.review.has_value(), reviewId);
}

QString vodPlaylistPath(const PlaybackItem &item)
{
    return QStringLiteral("vod/") + item.camera + QStringLiteral("/start/") + wholeSeconds(item.start)
        + QStringLiteral("/end/") + wholeSeconds(item.end) + QStringLiteral("/master.m3u8");
}

QString clipPath(const PlaybackItem &item)
{
    return QStringLiteral("api/") + item.camera + QStringLiteral("/start/") + wholeSeconds(item.start)
        + QStringLiteral("/end/") + wholeSeconds(item.end) + QStringLiteral("/clip.mp4");
}

std::optional<MediaRequest> mediaRequest(const FrigateClient &client, const PlaybackItem &item, double startOffset)
{
    const auto url = client.makeURL(vodPlaylistPath(item));
    if (!url)
        return std::nullopt;
    MediaRequest request;
    request.url = *url;
    request.cookie = client.signInCookie();
    if (const auto token = client.token())
        request.headers.insert(QStringLiteral("Authorization"), QStringLiteral("Bearer ") + *token);
    if (startOffset > 0)
        request.startAt = startOffset;
    return request;
}

int timeJumpIndex(const QList<PlaybackItem> &items, double target)
{
    int later = -1;
    for (int i = 0; i < items.size(); ++i) {
        const PlaybackItem &item = items.at(i);
        if (item.start <= target && target < item.end)
            return i;
        if (item.start > target && (later < 0 || item.start < items.at(later).start))
            later = i;
    }
    return later;
}
