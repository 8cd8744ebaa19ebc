#pragma once
#include "client/WireRecords.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

// Texts shared by every screen for labels, times, durations and sizes. Localised phrases go
// through the "TextFormats" translation context with the English text as key.

// First letter of each word (words are split at white space) upper case, the rest lower case.
QString capitalizedWords(const QString &text);

// The text without spaces and tabs at either end (line breaks stay).
QStringView trimmedSpacesAndTabs(QStringView text);

// "person-verified" → "Person"; known object labels are translated, others capitalised.
QString labelDisplayName(const QString &label);
// Object then audio labels as display names, without repeats, joined by ", "; "Motion" if none.
QString objectSummary(const ReviewItem &item);

// "just now" when date is less than 45 seconds before now (or after it), else relativePhrase.
QString relativeTimeText(const QDateTime &date, const QDateTime &now = QDateTime::currentDateTime());
// "5 minutes ago", "in 2 hours", "yesterday", "3 weeks ago": the largest whole unit, full names.
QString relativePhrase(const QDateTime &date, const QDateTime &now);

QString durationText(double seconds); // "59 sec", "1 min 1 sec", "1 h 2 min"
QString clockText(double seconds);    // "1:15", "1:01:01"; "0:00" below zero or not finite
QString uptimeText(double seconds);   // "d:hh:mm:ss"; "0:00:00:00" when not finite or too large
QString sizeText(double megabytes);   // "1023 MB", "1.5 GB", "2.00 TB"

// The shared date formats, all in the device's current time zone.
QString dayKeyFormat(const QDateTime &date);        // "yyyy-MM-dd", locale independent
std::optional<QDate> parseDayKey(const QString &text);
QString fullDateTimeFormat(const QDateTime &date);  // weekday, day, month name, year, HH:mm:ss.zzz
QString mediumDateTimeFormat(const QDateTime &date); // day, short month, year, HH:mm:ss
QString timeOfDayFormat(const QDateTime &date);     // "HH:mm"
QString logTimestampFormat(const QDateTime &date);  // "yyyy-MM-dd HH:mm:ss", locale independent
std::optional<QDateTime> parseLogTimestamp(const QString &text);
