#include "client/TextFormats.h"

#include <QLocale>
#include <QTest>
#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// US Eastern time, written as a POSIX rule so no time-zone database is needed.
constexpr char EasternZone[] = "EST5EDT,M3.2.0,M11.1.0";

QDateTime local(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

} // namespace

class TestTextFormats : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", EasternZone);
        tzset();
    }

    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Display names; each row names its function first. objectSummary reads "objects|audio".
    void names_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("capitalizedWords rest lowered") << u"BACK yARD"_s << u"Back Yard"_s;
        QTest::newRow("capitalizedWords underscore and dash inside a word")
            << u"license_plate side-door"_s << u"License_plate Side-door"_s;
        QTest::newRow("capitalizedWords non-ASCII") << u"élan ÖL"_s << u"Élan Öl"_s;
        QTest::newRow("labelDisplayName suffix cut at the first dash") << u"car-red-big"_s << u"Car"_s;
        QTest::newRow("labelDisplayName other label capitalised") << u"fire alarm"_s << u"Fire Alarm"_s;
        QTest::newRow("labelDisplayName leading dash") << u"-x"_s << QString();
        QTest::newRow("objectSummary objects then audio, repeats dropped")
            << u"person,car,person-verified|speech,car"_s << u"Person, Car, Speech"_s;
        QTest::newRow("objectSummary nothing is motion") << u"|"_s << u"Motion"_s;
    }

    void names()
    {
        QFETCH(QString, text);
        const QString function = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 0);
        ReviewItem item;
        item.data.objects = text.section(u'|', 0, 0).split(u',', Qt::SkipEmptyParts);
        item.data.audio = text.section(u'|', 1).split(u',', Qt::SkipEmptyParts);
        const QString name = function == u"capitalizedWords" ? capitalizedWords(text) : labelDisplayName(text);
        QTEST(function == u"objectSummary" ? objectSummary(item) : name, "expected");
    }

    // relativeTimeText, or relativePhrase alone where "just now" would hide the phrase.
    void relative_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<bool>("phraseOnly");
        QTest::addColumn<QString>("expected");
        const QDateTime now = local(2024, 6, 11, 10, 0);
        QTest::newRow("10 s ago") << now.addSecs(-10) << false << u"just now"_s;
        QTest::newRow("ahead of now") << now.addSecs(7200) << false << u"just now"_s;
        QTest::newRow("45 s ago") << now.addSecs(-45) << false << u"45 seconds ago"_s;
        QTest::newRow("5 min ago") << now.addSecs(-300) << false << u"5 minutes ago"_s;
        QTest::newRow("26 h ago, previous day") << local(2024, 6, 10, 8, 0) << false << u"yesterday"_s;
        QTest::newRow("35 h ago, two days back") << local(2024, 6, 9, 23, 0) << false << u"2 days ago"_s;
        QTest::newRow("8 days") << local(2024, 6, 3, 12, 0) << false << u"1 week ago"_s;
        QTest::newRow("30 days, month not complete") << local(2024, 5, 12, 12, 0) << false << u"4 weeks ago"_s;
        QTest::newRow("one month") << local(2024, 5, 11, 9, 0) << false << u"1 month ago"_s;
        QTest::newRow("two years") << local(2022, 6, 11, 9, 0) << false << u"2 years ago"_s;
        QTest::newRow("in 2 hours") << now.addSecs(7200) << true << u"in 2 hours"_s;
        QTest::newRow("tomorrow") << local(2024, 6, 12, 18, 0) << true << u"tomorrow"_s;
    }

    void relative()
    {
        QFETCH(QDateTime, date);
        QFETCH(bool, phraseOnly);
        const QDateTime now = local(2024, 6, 11, 10, 0);
        QTEST(phraseOnly ? relativePhrase(date, now) : relativeTimeText(date, now), "expected");
    }

    // The number texts; each row names its function first.
    void numberTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("durationText 59.5 rounds up") << 59.5 << u"1 min"_s;
        QTest::newRow("durationText 61") << 61.0 << u"1 min 1 sec"_s;
        QTest::newRow("durationText 3725") << 3725.0 << u"1 h 2 min"_s;
        QTest::newRow("durationText negative") << -5.0 << u"-5 sec"_s;
        QTest::newRow("durationText not a number") << std::nan("") << u"0 sec"_s;
        QTest::newRow("durationText beyond 64 bits") << 1e30 << u"0 sec"_s;
        QTest::newRow("clockText negative") << -1.0 << u"0:00"_s;
        QTest::newRow("clockText 75.9 truncates") << 75.9 << u"1:15"_s;
        QTest::newRow("clockText 3661") << 3661.0 << u"1:01:01"_s;
        QTest::newRow("clockText not a number") << std::nan("") << u"0:00"_s;
        QTest::newRow("clockText beyond 64 bits") << 1e300 << u"0:00"_s;
        QTest::newRow("uptimeText one of each") << 90061.9 << u"1:01:01:01"_s;
        QTest::newRow("uptimeText many days") << 400.0 * 86400 << u"400:00:00:00"_s;
        QTest::newRow("uptimeText not a number") << std::nan("") << u"0:00:00:00"_s;
        QTest::newRow("uptimeText beyond 64 bits") << 1e20 << u"0:00:00:00"_s;
        QTest::newRow("sizeText 1023 MB") << 1023.0 << u"1023 MB"_s;
        QTest::newRow("sizeText exactly 1 GB") << 1024.0 << u"1.0 GB"_s;
        QTest::newRow("sizeText just under 1 TB") << 1048575.0 << u"1024.0 GB"_s;
        QTest::newRow("sizeText exactly 1 TB") << 1048576.0 << u"1.00 TB"_s;
    }

    void numberTexts()
    {
        QFETCH(double, value);
        const QString function = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 0);
        const QHash<QString, QString (*)(double)> functions{{u"durationText"_s, durationText},
                                                            {u"clockText"_s, clockText},
                                                            {u"uptimeText"_s, uptimeText},
                                                            {u"sizeText"_s, sizeText}};
        QTEST(functions.value(function)(value), "expected");
    }

    // Day keys, log stamps and times of day: local time, whatever the locale.
    void fixedFormats()
    {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        // 04:00 UTC on 11 June 2024 is midnight in New York.
        const QDateTime midnight = QDateTime::fromSecsSinceEpoch(1718078400, Qt::UTC);
        QCOMPARE(dayKeyFormat(midnight), u"2024-06-11"_s);
        QCOMPARE(dayKeyFormat(midnight.addSecs(-1)), u"2024-06-10"_s);
        QCOMPARE(parseDayKey(u"2024-06-11"_s), std::optional(QDate(2024, 6, 11)));
        QCOMPARE(parseDayKey(u"last24Hours"_s), std::nullopt);
        QCOMPARE(logTimestampFormat(midnight), u"2024-06-11 00:00:00"_s);
        QCOMPARE(parseLogTimestamp(u"2024-06-11 00:00:00"_s), std::optional(midnight));
        QCOMPARE(parseLogTimestamp(u"2024-06-11T00:00:00"_s), std::nullopt);
        QCOMPARE(timeOfDayFormat(midnight.addSecs(21 * 3600 + 5 * 60)), u"21:05"_s);
    }

    // The medium form drops the weekday, shortens the month name and hides the milliseconds.
    void localisedDateTimes()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        const QDateTime date = local(2024, 6, 11, 14, 5, 9).addMSecs(250);
        const QString full = fullDateTimeFormat(date);
        const QString medium = mediumDateTimeFormat(date);
        for (const QString &part : {u"martedì"_s, u"11"_s, u"giugno"_s, u"2024"_s, u"14:05:09.250"_s})
            QVERIFY2(full.contains(part), qPrintable(full + " lacks " + part));
        for (const QString &part : {u"11"_s, u"giu"_s, u"2024"_s, u"14:05:09"_s})
            QVERIFY2(medium.contains(part), qPrintable(medium + " lacks " + part));
        for (const QString &part : {u"martedì"_s, u"giugno"_s, u".250"_s})
            QVERIFY2(!medium.contains(part), qPrintable(medium + " holds " + part));
    }
};

QTEST_GUILESS_MAIN(TestTextFormats)
#include "tst_textformats.moc"
