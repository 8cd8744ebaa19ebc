#pragma once
#include "client/FrigateApi.h"
#include "client/FrigateError.h"
#include "client/WireRecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QRectF>
#include <QStringView>
#include <optional>

// Turning the server's JSON answers into wire records. Configuration and statistics are read
// loosely (wrong shapes give defaults, nothing fails); review items and the recordings summary
// are read by key and fail with a `decoding` error that says what was wrong.

// A number written with the C library's conversion in the C locale ("." as decimal point,
// hexadecimal, "inf" and "nan" included). The whole text must be consumed; empty text and text
// that begins with white space do not parse.
std::optional<double> parseCNumber(QStringView text);

// A JSON number as is; a text trimmed of spaces and tabs and read by parseCNumber; else 0.
double numberValue(const QJsonValue &value);
// Like numberValue, but a text is trimmed of all white space, line breaks included.
double trimmedNumberValue(const QJsonValue &value);

// A box [x, y, w, h] relative to the frame, with 0 < w ≤ 1.01 and 0 < h ≤ 1.01; entries are
// read by trimmedNumberValue. Nothing for any other shape.
std::optional<QRectF> boxValue(const QJsonValue &value);

// `text` is the configuration as received, for the key order QJsonObject loses; without it
// stream maps are read in sorted key order.
FrigateApi::ServerConfig decodeConfig(const QJsonObject &config, const QByteArray &text = {});
StatsSnapshot decodeStats(const QJsonObject &stats);

Result<ReviewItem> decodeReviewItem(const QJsonValue &value);
Result<QList<ReviewItem>> decodeReviewList(const QByteArray &body);
QJsonObject encodeReviewItem(const ReviewItem &item);

Result<QList<RecordingDay>> decodeRecordingSummary(const QByteArray &body);
// Sorted by start; files that end before they start are dropped.
Result<QList<RecordingSegment>> decodeRecordingSegments(const QByteArray &body);
