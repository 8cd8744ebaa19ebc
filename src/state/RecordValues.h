#pragma once
#include "client/WireRecords.h"

#include <QVariantList>
#include <QVariantMap>

// Server records as the plain maps and lists that QML binds to; keys are the records' field names.
QVariantMap cameraValue(const CameraInfo &camera);
QVariantMap groupValue(const CameraGroup &group);
QVariantMap cameraStatsValue(const CameraStats &stats);
QVariantMap statsValue(const StatsSnapshot &stats);
