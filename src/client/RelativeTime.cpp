#include "client/TextFormats.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <limits>

// Qt has no relative date formatter; this one names the largest whole unit between two moments,
// with full unit names, and calls a one-day step across midnight "yesterday" or "tomorrow".

namespace {

enum class Unit { Second, Minute, Hour, Day, Week, Month, Year };

QString unitCount(Unit unit, qint64 n)
{
    const int count = int(std::min<qint64>(n, std::numeric_limits<int>::max()));
    switch (unit) {
    case Unit::Second:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 second")
                      : QCoreApplication::translate("TextFormats", "%n seconds", nullptr, count);
    case Unit::Minute:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 minute")
                      : QCoreApplication::translate("TextFormats", "%n minutes", nullptr, count);
    case Unit::Hour:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 hour")
                      : QCoreApplication::translate("TextFormats", "%n hours", nullptr, count);
    case Unit::Day:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 day")
                      : QCoreApplication::translate("TextFormats", "%n days", nullptr, count);
    case Unit::Week:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 week")
                      : QCoreApplication::translate("TextFormats", "%n weeks", nullptr, count);
    case Unit::Month:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 month")
                      : QCoreApplication::translate("TextFormats", "%n months", nullptr, count);
    case Unit::Year:
        return n == 1 ? QCoreApplication::translate("TextFormats", "1 year")
                      : QCoreApplication::translate("TextFormats", "%n years", nullptr, count);
    }
    return {};
}

QString directed(const QString &amount, bool past)
{
    if (past) {
        //: A span of time before now, e.g. "5 minutes ago".
        return QCoreApplication::translate("TextFormats", "%1 ago").arg(amount);
    }
    //: A span of time after now, e.g. "in 2 hours".
    return QCoreApplication::translate("TextFormats", "in %1").arg(amount);
}

// Whole calendar months from `earlier` to `later` (both local dates, earlier ≤ later).
qint64 wholeMonths(QDate earlier, QDate later)
{
    qint64 months = qint64(later.year() - earlier.year()) * 12 + (later.month() - earlier.month());
    if (later.day() < earlier.day())
        --months;
    return months;
}

QString calendarPhrase(QDate date, QDate now, bool past)
{
    const QDate earlier = past ? date : now;
    const QDate later = past ? now : date;
    const qint64 days = std::max<qint64>(earlier.daysTo(later), 1);
    if (days == 1)
        return past ? QCoreApplication::translate("TextFormats", "yesterday")
                    : QCoreApplication::translate("TextFormats", "tomorrow");
    if (days < 7)
        return directed(unitCount(Unit::Day, days), past);
    const qint64 months = wholeMonths(earlier, later);
    if (months < 1)
        return directed(unitCount(Unit::Week, days / 7), past);
    if (months < 12)
        return directed(unitCount(Unit::Month, months), past);
    return directed(unitCount(Unit::Year, months / 12), past);
}

} // namespace

QString relativePhrase(const QDateTime &date, const QDateTime &now)
{
    const qint64 ms = date.msecsTo(now);
    const bool past = ms >= 0;
    const qint64 seconds = std::llabs(ms) / 1000;
    if (seconds < 60)
        return directed(unitCount(Unit::Second, seconds), past);
    if (seconds < 3600)
        return directed(unitCount(Unit::Minute, seconds / 60), past);
    if (seconds < 86400)
        return directed(unitCount(Unit::Hour, seconds / 3600), past);
    return calendarPhrase(date.toLocalTime().date(), now.toLocalTime().date(), past);
}

QString relativeTimeText(const QDateTime &date, const QDateTime &now)
{
    if (date.msecsTo(now) < 45000)
        return QCoreApplication::translate("TextFormats", "just now");
    return relativePhrase(date, now);
}
