#pragma once
#include "client/WireRecords.h"
#include "playback/PlaybackItem.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// How review items read on screen and what the player makes of them, shared by the alerts list
// and the camera history.

// The configured friendly name of the camera, else the id with each word capitalised.
QString displayCameraName(const QList<CameraInfo> &cameras, const QString &camera);

// The server path of a review's thumbnail: its stored picture under the media folder, else the
// animated preview (then `query` is format=gif).
struct ReviewThumbnail
{
    QString path;
    QList<QStringList> query;
};
ReviewThumbnail reviewThumbnail(const ReviewItem &item);

// From 5 s before the review to 30 s after it (an unfinished review: up to now), never past now.
PlaybackItem reviewPlaybackItem(const ReviewItem &item, const QString &cameraName, const QDateTime &now);
