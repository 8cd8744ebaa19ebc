#pragma once
#include "client/WireRecords.h"

#include <QVariantList>
#include <QVariantMap>

// Server records as the plain maps and lists that QML binds to; keys are the records' field names.
QVariantMap cameraValue(const CameraInfo &camera);
QVariantList cameraValues(const QList<CameraInfo> &cameras);
QVariantMap groupValue(const CameraGroup &group);
QVariantList groupValues(const QList<CameraGroup> &groups);
QVariantMap cameraStatsValue(const CameraStats &stats);
QVariantMap statsValue(const StatsSnapshot &stats);
