#include "screens/HistoryRows.h"

#include "client/TextFormats.h"
#include "client/WireDecoding.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

const QString Last24Hours = QStringLiteral("last24Hours");

// h:00 on `date` as clocks in `zone` read it. Where the clocks go back h:00 comes twice and the
// hour begins at the first.
QDateTime wallClockHour(QDate date, int hour, const QTimeZone &zone)
{
    const QDateTime at(date, QTime(hour, 0), zone);
    const QDateTime hourBefore = at.addSecs(-3600);
    if (hourBefore.date() == date && hourBefore.time() == QTime(hour, 0))
        return hourBefore;
    return at;
}

bool hourExists(QDate date, int hour, const QTimeZone &zone)
{
    const QDateTime at = wallClockHour(date, hour, zone);
    return at.isValid() && at.date() == date && at.time() == QTime(hour, 0);
}

// The start of the next hour the clocks show: where they go forward the skipped one is passed.
QDateTime nextHourStart(QDate date, int hour, const QTimeZone &zone)
{
    for (int next = hour + 1; next < 24; ++next) {
        if (hourExists(date, next, zone))
            return wallClockHour(date, next, zone);
    }
    return dayStart(date.addDays(1), zone);
}

// A summary count: a number or a numeric text; anything else, infinities and NaN count 0.
double countValue(const QJsonValue &value)
{
    const double count = trimmedNumberValue(value);
    return std::isfinite(count) ? count : 0;
}

double seconds(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() / 1000.0;
}

} // namespace

QTimeZone summaryZone(bool labelsPerPeriod, const QTimeZone &local, const QDateTime &now)
{
    if (labelsPerPeriod)
        return local;
    return QTimeZone(local.offsetFromUtc(now));
}

QDateTime dayStart(QDate date, const QTimeZone &zone)
{
    return wallClockHour(date, 0, zone);
}

int hourNumber(const RecordingHour &hour)
{
    bool ok = false;
    const int number = hour.hour.toInt(&ok, 10);
    return ok ? number : 0;
}

QList<HourSlot> hourSlots(const RecordingDay &day, QDate date, const QTimeZone &zone, const QDateTime &now)
{
    QList<HourSlot> dayHours;
    for (const RecordingHour &record : day.hours) {
        HourSlot slot;
        slot.hour = std::clamp(hourNumber(record), 0, 23);
        slot.record = record;
        slot.start = wallClockHour(date, slot.hour, zone);
        if (!slot.start.isValid()) // an hour the clocks skip: nothing can be recorded in it
            continue;
        slot.next = nextHourStart(date, slot.hour, zone);
        slot.end = std::min(now, slot.next);
        dayHours.append(slot);
    }
    std::stable_sort(dayHours.begin(), dayHours.end(),
                     [](const HourSlot &a, const HourSlot &b) { return a.hour > b.hour; });
    return dayHours;
}

qint64 hourThumbnailTime(const HourSlot &slot, const QDateTime &now)
{
    if (now < slot.next)
        return qint64(seconds(now) - 30);
    const double length = seconds(slot.next) - seconds(slot.start);
    const std::optional<double> recorded = slot.record.duration;
    // A duration longer than the hour (clock changes, server faults) cannot place the picture.
    if (!recorded || !(*recorded >= 0 && *recorded <= length))
        return qint64(seconds(slot.start) + length / 2);
    return qint64(seconds(slot.next) - *recorded / 2);
}

QString hourRangeText(int hour)
{
    //: An hour row's span on the 24-hour clock, e.g. "09:00 – 10:00".
    return QCoreApplication::translate("CameraHistory", "%1:00 – %2:00")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg((hour + 1) % 24, 2, 10, QLatin1Char('0'));
}

namespace {

QString eventCountText(int events)
{
    if (events == 1)
        return QCoreApplication::translate("CameraHistory", "1 event");
    return QCoreApplication::translate("CameraHistory", "%n events", nullptr, events);
}

} // namespace

QString hourSummaryText(const RecordingHour &hour)
{
    QString text = durationText(hour.duration.value_or(0));
    if (hour.motion && *hour.motion > 0 && std::isfinite(*hour.motion)) {
        const QString motion = QLocale().toString(qint64(std::llround(*hour.motion)));
        //: The hour's motion score, e.g. "motion 5,310".
        text += QStringLiteral(" · ") + QCoreApplication::translate("CameraHistory", "motion %1").arg(motion);
    }
    if (hour.events && *hour.events >= 1)
        text += QStringLiteral(" · ") + eventCountText(*hour.events);
    return text;
}

QString recordingLineText(const QString &codec)
{
    const QString continuous = QCoreApplication::translate("CameraHistory", "continuous recording");
    return codec.isEmpty() ? continuous : codec + QStringLiteral(" · ") + continuous;
}

QString codecText(const QByteArray &masterPlaylist)
{
    static const QRegularExpression codecs(QStringLiteral("^#EXT-X-STREAM-INF:.*CODECS=\"([^\"]*)\""),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = codecs.match(QString::fromUtf8(masterPlaylist));
    if (!match.hasMatch())
        return {};
    for (const QString &entry : match.captured(1).split(u',')) {
        const QString family = entry.trimmed().section(u'.', 0, 0).toLower();
        if (family == u"avc1" || family == u"avc3")
            return QStringLiteral("H.264");
        if (family == u"hvc1" || family == u"hev1")
            return QStringLiteral("H.265");
    }
    return {};
}

QSet<QString> markedAlertDays(const QJsonObject &summary, bool showDetections)
{
    QSet<QString> days;
    for (auto it = summary.begin(); it != summary.end(); ++it) {
        if (it.key() == Last24Hours || !it.value().isObject() || !parseDayKey(it.key()))
            continue;
        const QJsonObject counts = it.value().toObject();
        double total = countValue(counts.value(QLatin1String("total_alert")));
        if (showDetections)
            total += countValue(counts.value(QLatin1String("total_detection")));
        if (total > 0)
            days.insert(it.key());
    }
    return days;
}

QList<ReviewItem> itemsStartingIn(const QList<ReviewItem> &items, const QDateTime &start, const QDateTime &end)
{
    const double from = seconds(start);
    const double to = seconds(end);
    QList<ReviewItem> inside;
    std::copy_if(items.begin(), items.end(), std::back_inserter(inside),
                 [&](const ReviewItem &item) { return item.start_time >= from && item.start_time < to; });
    return inside;
}
