#include "screens/ReviewRows.h"

#include "client/TextFormats.h"

#include <algorithm>

namespace {

// "/media/frigate/clips/x.webp" → "clips/x.webp"; other absolute paths lose their first slash.
QString mediaPath(const QString &path)
{
    static const QString mediaRoot = QStringLiteral("/media/frigate/");
    const qsizetype at = path.indexOf(mediaRoot);
    if (at >= 0)
        return path.mid(at + mediaRoot.size());
    if (path.startsWith(u'/'))
        return path.mid(1);
    return path;
}

} // namespace

QString displayCameraName(const QList<CameraInfo> &cameras, const QString &camera)
{
    for (const CameraInfo &info : cameras) {
        if (info.name == camera)
            return info.friendlyName;
    }
    return capitalizedWords(camera);
}

ReviewThumbnail reviewThumbnail(const ReviewItem &item)
{
    if (item.thumb_path && !item.thumb_path->isEmpty())
        return {mediaPath(*item.thumb_path), {}};
    return {QStringLiteral("api/review/") + item.id + QStringLiteral("/preview"),
            {{QStringLiteral("format"), QStringLiteral("gif")}}};
}

PlaybackItem reviewPlaybackItem(const ReviewItem &item, const QString &cameraName, const QDateTime &now)
{
    const double nowSeconds = now.toMSecsSinceEpoch() / 1000.0;
    PlaybackItem playback;
    playback.camera = item.camera;
    playback.cameraName = cameraName;
    playback.start = item.start_time - 5;
    playback.end = std::min(nowSeconds, item.end_time.value_or(nowSeconds) + 30);
    playback.review = item;
    return playback;
}
