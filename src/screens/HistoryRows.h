#pragma once
#include "client/WireRecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <QVariantList>

// The rules of a camera's history: where the summary's days and hours lie in time, what an hour
// row shows, which days the review summary marks.

// The zone the server labels a summary's days and hours in. Up to 0.16 it applies the offset the
// zone has now to every date; from 0.17 the offset of each period, as local clocks read.
QTimeZone summaryZone(bool labelsPerPeriod, const QTimeZone &local, const QDateTime &now);

// Midnight starting `date` in `zone` (the first instant of the day where midnight is skipped).
QDateTime dayStart(QDate date, const QTimeZone &zone);

// Hour number of a summary hour: its text as a decimal integer, 0 when it does not parse.
int hourNumber(const RecordingHour &hour);

// One recorded hour of a day, placed in time.
struct HourSlot
{
    int hour = 0;
    RecordingHour record;
    QDateTime start; // h:00 of the day in the summary's zone
    QDateTime next; // the next hour's start: one or two hours on, on days the clocks change
    QDateTime end; // next, or now while the hour runs
};

// The day's hours, latest first. Starts come from the calendar (h:00 of that date), never from
// midnight plus whole hours, so on a 23- or 25-hour day each still begins on the hour.
QList<HourSlot> hourSlots(const RecordingDay &day, QDate date, const QTimeZone &zone, const QDateTime &now);

// The frame shown for an hour, in seconds since 1970: 30 s before now while the hour runs, else
// half the recorded duration before the hour's end (half-way when the duration is unknown or
// longer than the hour).
qint64 hourThumbnailTime(const HourSlot &slot, const QDateTime &now);

// An image path and its [name, value] query pairs, as RemoteImage takes them.
struct SnapshotPath
{
    QString path;
    QVariantList query;
};

// "23:00 – 00:00"
QString hourRangeText(int hour);
// "1 h 0 min · motion 5,310 · 2 events": recorded time, the count of motion boxes the server
// found (not a duration), the events started in the hour.
QString hourSummaryText(const RecordingHour &hour);
// "H.264 · continuous recording", or without the codec when it is unknown.
QString recordingLineText(const QString &codec);

// The video codec named by a master playlist's CODECS attribute: "H.264" (avc1, avc3), "H.265"
// (hvc1, hev1), else empty.
QString codecText(const QByteArray &masterPlaylist);

// Day keys of the review summary with items: total alerts, plus detections when shown, above 0.
// "last24Hours", keys that are not days and values that are not numbers mark nothing.
QSet<QString> markedAlertDays(const QJsonObject &summary, bool showDetections);

// The items that start in [start, end): servers filter by containment (0.14, 0.15) or overlap
// (0.16 on), so neither answers exactly the day's items.
QList<ReviewItem> itemsStartingIn(const QList<ReviewItem> &items, const QDateTime &start, const QDateTime &end);
