#include "screens/ReviewListModel.h"

#include "client/TextFormats.h"
#include "screens/ReviewRows.h"

#include <QDateTime>

QHash<int, QByteArray> ReviewListModel::roleNames() const
{
    return {{ReviewIdRole, "reviewId"},     {CameraRole, "camera"},
            {CameraNameRole, "cameraName"}, {IsAlertRole, "isAlert"},
            {ThumbPathRole, "thumbPath"},   {ThumbQueryRole, "thumbQuery"},
            {TimeTextRole, "timeText"},     {DurationTextRole, "durationText"},
            {ObjectsRole, "objects"},       {ReviewedRole, "reviewed"}};
}

void ReviewListModel::setCameras(const QList<CameraInfo> &cameras)
{
    if (cameras == m_cameras)
        return;
    m_cameras = cameras;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {CameraNameRole});
}

bool ReviewListModel::setReviewed(const QStringList &ids, bool reviewed)
{
    QList<ReviewItem> next = records();
    bool changed = false;
    for (ReviewItem &item : next) {
        if (item.has_been_reviewed == reviewed || !ids.contains(item.id))
            continue;
        item.has_been_reviewed = reviewed;
        changed = true;
    }
    if (changed)
        setRecords(next);
    return changed;
}

void ReviewListModel::refreshTimes()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {TimeTextRole, DurationTextRole});
}

QVariant ReviewListModel::roleValue(const ReviewItem &item, int role) const
{
    switch (role) {
    case ReviewIdRole:
        return item.id;
    case CameraRole:
        return item.camera;
    case CameraNameRole:
        return displayCameraName(m_cameras, item.camera);
    case IsAlertRole:
        return item.severity == QStringLiteral("alert");
    case ThumbPathRole:
        return reviewThumbnail(item).path;
    case ThumbQueryRole: {
        QVariantList query;
        for (const QStringList &pair : reviewThumbnail(item).query)
            query.append(pair);
        return query;
    }
    case TimeTextRole:
        return relativeTimeText(QDateTime::fromMSecsSinceEpoch(qint64(item.start_time * 1000)));
    case DurationTextRole: {
        const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        return durationText(item.end_time.value_or(now) - item.start_time);
    }
    case ObjectsRole:
        return objectSummary(item);
    case ReviewedRole:
        return item.has_been_reviewed;
    }
    return {};
}
