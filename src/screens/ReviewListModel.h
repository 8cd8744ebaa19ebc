#pragma once
#include "client/WireRecords.h"
#include "state/RecordListModel.h"

#include <QHash>
#include <QtQml/qqmlregistration.h>

// Review items as the rows of the alerts list and the day's alerts of a camera's history.
// Replacing the list keeps the rows that stay (a page appended is one insert; a mark is one
// dataChanged), so the view keeps its delegates and scroll position.
// Roles: reviewId, camera, cameraName, isAlert, thumbPath, thumbQuery, timeText, durationText,
// objects, reviewed.
class ReviewListModel : public RecordListModel<ReviewItem>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    enum Role {
        ReviewIdRole = Qt::UserRole,
        CameraRole,
        CameraNameRole,
        IsAlertRole,
        ThumbPathRole,
        ThumbQueryRole,
        TimeTextRole,
        DurationTextRole,
        ObjectsRole,
        ReviewedRole,
    };

    using RecordListModel<ReviewItem>::RecordListModel;

    QHash<int, QByteArray> roleNames() const override;
    // Friendly names by camera id; rows of other cameras show the id capitalised.
    void setCameras(const QList<CameraInfo> &cameras);
    // Marks the rows with these ids; answers whether any row changed.
    bool setReviewed(const QStringList &ids, bool reviewed);
    // Relative times ("5 minutes ago") age while shown: call now and then.
    void refreshTimes();

protected:
    QString keyOf(const ReviewItem &item) const override { return item.id; }
    QVariant roleValue(const ReviewItem &item, int role) const override;

private:
    QList<CameraInfo> m_cameras;
};
