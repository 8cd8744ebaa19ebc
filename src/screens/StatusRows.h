#pragma once
#include "client/WireRecords.h"
#include "screens/LogRow.h"

#include <QDateTime>
#include <QList>
#include <optional>

// What the status screen shows for each event, the server and each camera, and which of them a
// filter keeps. A filter here is already lower-cased; an empty one keeps everything.

LogRow eventRow(const ReviewItem &item, const QList<CameraInfo> &cameras, const QDateTime &now);
bool eventMatches(const ReviewItem &item, const QList<CameraInfo> &cameras, const QString &filter);

// All zero with an empty version before the first statistics arrive.
LogRow serverSummaryRow(const std::optional<StatsSnapshot> &stats);
LogRow cameraRow(const CameraInfo &camera, const std::optional<StatsSnapshot> &stats);
bool cameraMatches(const CameraInfo &camera, const QString &filter);

QString logLevelIcon(LogLine::Level level);
QColor logLevelColor(LogLine::Level level);
