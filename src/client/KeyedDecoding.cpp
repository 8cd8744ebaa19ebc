#include "client/WireDecoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>
#include <limits>

// Review items and the recordings summary are read by key: a required key that is missing or
// of the wrong type fails the whole answer, with a detail naming the item and the key.

namespace {

using Problem = std::optional<QString>;

QString quoted(QStringView key)
{
    return u'"' + key.toString() + u'"';
}

Problem missing(QStringView key)
{
    return QStringLiteral("missing key %1").arg(quoted(key));
}

Problem mistyped(QStringView key, const char *expected)
{
    return QStringLiteral("key %1 is not %2").arg(quoted(key), QLatin1String(expected));
}

Problem requiredText(const QJsonObject &object, QStringView key, QString &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return missing(key);
    if (!value.isString())
        return mistyped(key, "a text");
    out = value.toString();
    return std::nullopt;
}

Problem optionalNumber(const QJsonObject &object, QStringView key, std::optional<double> &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isDouble())
        return mistyped(key, "a number");
    out = value.toDouble();
    return std::nullopt;
}

Problem requiredNumber(const QJsonObject &object, QStringView key, double &out)
{
    std::optional<double> number;
    if (Problem problem = optionalNumber(object, key, number))
        return problem;
    if (!number)
        return missing(key);
    out = *number;
    return std::nullopt;
}

Problem optionalInt(const QJsonObject &object, QStringView key, std::optional<int> &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    const double number = value.toDouble();
    const bool integral = value.isDouble() && number == std::trunc(number)
                          && number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max();
    if (!integral)
        return mistyped(key, "an integer");
    out = int(number);
    return std::nullopt;
}

// Lenient list of texts: anything but a list made only of texts gives an empty list.
QStringList textList(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &entry : value.toArray()) {
        if (!entry.isString())
            return {};
        texts.append(entry.toString());
    }
    return texts;
}

ReviewData decodeReviewData(const QJsonValue &value)
{
    const QJsonObject data = value.toObject();
    return ReviewData{textList(data.value(u"objects")), textList(data.value(u"zones")),
                      textList(data.value(u"audio")), textList(data.value(u"detections"))};
}

// 0.16 computes the flag per user with COALESCE, which may come back as 0 or 1.
bool reviewedFlag(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool();
    return value.isDouble() && value.toDouble() == 1;
}

Problem decodeReview(const QJsonValue &value, ReviewItem &item)
{
    if (!value.isObject())
        return QStringLiteral("not an object");
    const QJsonObject object = value.toObject();
    if (Problem p = requiredText(object, u"id", item.id))
        return p;
    if (Problem p = requiredText(object, u"camera", item.camera))
        return p;
    if (Problem p = requiredNumber(object, u"start_time", item.start_time))
        return p;
    const QJsonValue end = object.value(u"end_time");
    item.end_time = end.isDouble() ? std::optional(end.toDouble()) : std::nullopt;
    const QJsonValue severity = object.value(u"severity");
    item.severity = severity.isString() ? severity.toString() : QStringLiteral("alert");
    const QJsonValue thumb = object.value(u"thumb_path");
    item.thumb_path = thumb.isString() ? std::optional(thumb.toString()) : std::nullopt;
    item.has_been_reviewed = reviewedFlag(object.value(u"has_been_reviewed"));
    item.data = decodeReviewData(object.value(u"data"));
    return std::nullopt;
}

Problem decodeHour(const QJsonValue &value, RecordingHour &hour)
{
    if (!value.isObject())
        return QStringLiteral("not an object");
    const QJsonObject object = value.toObject();
    if (Problem p = requiredText(object, u"hour", hour.hour))
        return p;
    if (Problem p = optionalInt(object, u"events", hour.events))
        return p;
    if (Problem p = optionalNumber(object, u"motion", hour.motion))
        return p;
    if (Problem p = optionalNumber(object, u"objects", hour.objects))
        return p;
    if (Problem p = optionalNumber(object, u"duration", hour.duration))
        return p;
    // Seconds recorded in the hour: below zero or not finite it is no length at all, and would
    // otherwise reach the day's total and the hour's text as a negative time.
    if (hour.duration && !(std::isfinite(*hour.duration) && *hour.duration >= 0))
        hour.duration.reset();
    return std::nullopt;
}

Problem decodeDay(const QJsonValue &value, RecordingDay &day)
{
    if (!value.isObject())
        return QStringLiteral("not an object");
    const QJsonObject object = value.toObject();
    if (Problem p = requiredText(object, u"day", day.day))
        return p;
    if (Problem p = optionalInt(object, u"events", day.events))
        return p;
    const QJsonValue hours = object.value(u"hours");
    if (!hours.isArray())
        return hours.isUndefined() || hours.isNull() ? missing(u"hours") : mistyped(u"hours", "a list");
    const QJsonArray list = hours.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        RecordingHour hour;
        if (Problem p = decodeHour(list.at(i), hour))
            return QStringLiteral("hour %1: %2").arg(i).arg(*p);
        day.hours.append(hour);
    }
    return std::nullopt;
}

Problem decodeSegment(const QJsonValue &value, RecordingSegment &segment)
{
    if (!value.isObject())
        return QStringLiteral("not an object");
    const QJsonObject object = value.toObject();
    if (Problem p = requiredNumber(object, u"start_time", segment.start_time))
        return p;
    return requiredNumber(object, u"end_time", segment.end_time);
}

Result<QJsonArray> parseList(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return FrigateError::decoding(QStringLiteral("invalid JSON: %1").arg(error.errorString()));
    if (!document.isArray())
        return FrigateError::decoding(QStringLiteral("expected a JSON list"));
    return document.array();
}

template<typename Record, typename Decode>
Result<QList<Record>> decodeList(const QByteArray &body, const char *itemName, Decode decode)
{
    Result<QJsonArray> list = parseList(body);
    if (!list)
        return list.error();
    QList<Record> records;
    records.reserve(list.value().size());
    for (qsizetype i = 0; i < list.value().size(); ++i) {
        Record record;
        if (Problem p = decode(list.value().at(i), record))
            return FrigateError::decoding(QStringLiteral("%1 %2: %3").arg(QLatin1String(itemName)).arg(i).arg(*p));
        records.append(std::move(record));
    }
    return records;
}

QJsonObject encodeReviewData(const ReviewData &data)
{
    return QJsonObject{{QStringLiteral("objects"), QJsonArray::fromStringList(data.objects)},
                       {QStringLiteral("zones"), QJsonArray::fromStringList(data.zones)},
                       {QStringLiteral("audio"), QJsonArray::fromStringList(data.audio)},
                       {QStringLiteral("detections"), QJsonArray::fromStringList(data.detections)}};
}

} // namespace

Result<ReviewItem> decodeReviewItem(const QJsonValue &value)
{
    ReviewItem item;
    if (Problem p = decodeReview(value, item))
        return FrigateError::decoding(QStringLiteral("review item: %1").arg(*p));
    return item;
}

Result<QList<ReviewItem>> decodeReviewList(const QByteArray &body)
{
    return decodeList<ReviewItem>(body, "review item", decodeReview);
}

QJsonObject encodeReviewItem(const ReviewItem &item)
{
    QJsonObject object{{QStringLiteral("id"), item.id},
                       {QStringLiteral("camera"), item.camera},
                       {QStringLiteral("start_time"), item.start_time},
                       {QStringLiteral("severity"), item.severity},
                       {QStringLiteral("has_been_reviewed"), item.has_been_reviewed},
                       {QStringLiteral("data"), encodeReviewData(item.data)}};
    if (item.end_time)
        object.insert(u"end_time", *item.end_time);
    if (item.thumb_path)
        object.insert(u"thumb_path", *item.thumb_path);
    return object;
}

Result<QList<RecordingDay>> decodeRecordingSummary(const QByteArray &body)
{
    return decodeList<RecordingDay>(body, "recording day", decodeDay);
}

Result<QList<RecordingSegment>> decodeRecordingSegments(const QByteArray &body)
{
    Result<QList<RecordingSegment>> segments = decodeList<RecordingSegment>(body, "recording", decodeSegment);
    if (!segments)
        return segments;
    QList<RecordingSegment> kept;
    for (const RecordingSegment &segment : segments.value()) {
        if (segment.end_time > segment.start_time)
            kept.append(segment);
    }
    std::sort(kept.begin(), kept.end(), [](const auto &a, const auto &b) { return a.start_time < b.start_time; });
    return kept;
}
