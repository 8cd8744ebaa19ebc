#include "client/TextFormats.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

constexpr QStringView DayKeyPattern = u"yyyy-MM-dd";
constexpr QStringView LogTimestampPattern = u"yyyy-MM-dd HH:mm:ss";

// The locale's long date without its weekday and with the short month name: Qt offers no
// medium date format, and the short one drops the month name.
QString mediumDatePattern(const QLocale &locale)
{
    static const QRegularExpression weekday(QStringLiteral("d{4}[,\\s]*"));
    QString pattern = locale.dateFormat(QLocale::LongFormat);
    pattern.remove(weekday);
    pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return pattern.trimmed();
}

} // namespace

QString dayKeyFormat(const QDateTime &date)
{
    return QLocale::c().toString(date.toLocalTime(), DayKeyPattern);
}

std::optional<QDate> parseDayKey(const QString &text)
{
    const QDate date = QDate::fromString(text, DayKeyPattern);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

QString fullDateTimeFormat(const QDateTime &date)
{
    const QLocale locale;
    return locale.toString(date.toLocalTime(), locale.dateFormat(QLocale::LongFormat) + QStringLiteral(" HH:mm:ss.zzz"));
}

QString mediumDateTimeFormat(const QDateTime &date)
{
    const QLocale locale;
    return locale.toString(date.toLocalTime(), mediumDatePattern(locale) + QStringLiteral(" HH:mm:ss"));
}

QString timeOfDayFormat(const QDateTime &date)
{
    return QLocale::c().toString(date.toLocalTime(), u"HH:mm");
}

QString logTimestampFormat(const QDateTime &date)
{
    return QLocale::c().toString(date.toLocalTime(), LogTimestampPattern);
}

std::optional<QDateTime> parseLogTimestamp(const QString &text)
{
    const QDateTime date = QDateTime::fromString(text, LogTimestampPattern);
    return date.isValid() ? std::optional(date) : std::nullopt;
}
