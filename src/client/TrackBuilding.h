#pragma once
#include "client/WireRecords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// One tracked object from the server's event (api/events/<id>) and its timeline entries
// (api/timeline?source_id=<id>), with samples ascending by time and every time shifted by the
// camera's annotation offset. Nothing when neither the timeline nor the event has a usable box.
// nowSeconds stands in for the end of an object still being tracked.
std::optional<TrackedObject> buildTrackedObject(const QString &id, const QJsonObject &event,
                                                const QJsonArray &timeline, double annotationOffsetMs,
                                                double nowSeconds);
