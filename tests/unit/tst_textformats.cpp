#include "client/TextFormats.h"

#include <QLocale>
#include <QTest>
#include <cmath>
#include <ctime>

namespace {

// US Eastern time, written as a POSIX rule so no time-zone database is needed.
constexpr char EasternZone[] = "EST5EDT,M3.2.0,M11.1.0";

QDateTime local(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

ReviewItem itemWith(const QStringList &objects, const QStringList &audio)
{
    ReviewItem item;
    item.data.objects = objects;
    item.data.audio = audio;
    return item;
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

    void capitalized_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("words") << "front door"
                               << "Front Door";
        QTest::newRow("rest lowered") << "BACK yARD"
                                      << "Back Yard";
        QTest::newRow("underscore and dash inside a word") << "license_plate side-door"
                                                           << "License_plate Side-door";
        QTest::newRow("non-ASCII") << "élan ÖL"
                                   << "Élan Öl";
        QTest::newRow("empty") << ""
                               << "";
    }

    void capitalized()
    {
        QFETCH(QString, text);
        QTEST(capitalizedWords(text), "expected");
    }

    void labels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known") << "person"
                               << "Person";
        QTest::newRow("suffix cut at the first dash") << "car-red-big"
                                                      << "Car";
        QTest::newRow("other label capitalised") << "amazon"
                                                 << "Amazon";
        QTest::newRow("words") << "fire alarm"
                               << "Fire Alarm";
        QTest::newRow("underscore stays") << "license_plate"
                                          << "License_plate";
        QTest::newRow("leading dash") << "-x"
                                      << "";
    }

    void labels()
    {
        QFETCH(QString, label);
        QTEST(labelDisplayName(label), "expected");
    }

    void summaries_data()
    {
        QTest::addColumn<QStringList>("objects");
        QTest::addColumn<QStringList>("audio");
        QTest::addColumn<QString>("expected");
        QTest::newRow("objects then audio, repeats dropped")
            << QStringList{"person", "car", "person-verified"} << QStringList{"speech", "car"} << "Person, Car, Speech";
        QTest::newRow("nothing is motion") << QStringList{} << QStringList{} << "Motion";
    }

    void summaries()
    {
        QFETCH(QStringList, objects);
        QFETCH(QStringList, audio);
        QTEST(objectSummary(itemWith(objects, audio)), "expected");
    }

    void relative_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("expected");
        const QDateTime now = local(2024, 6, 11, 10, 0);
        QTest::newRow("10 s ago") << now.addSecs(-10) << "just now";
        QTest::newRow("ahead of now") << now.addSecs(7200) << "just now";
        QTest::newRow("45 s ago") << now.addSecs(-45) << "45 seconds ago";
        QTest::newRow("5 min ago") << now.addSecs(-300) << "5 minutes ago";
        QTest::newRow("1 h ago") << now.addSecs(-3600) << "1 hour ago";
        QTest::newRow("26 h ago, previous day") << local(2024, 6, 10, 8, 0) << "yesterday";
        QTest::newRow("35 h ago, two days back") << local(2024, 6, 9, 23, 0) << "2 days ago";
        QTest::newRow("8 days") << local(2024, 6, 3, 12, 0) << "1 week ago";
        QTest::newRow("30 days, month not complete") << local(2024, 5, 12, 12, 0) << "4 weeks ago";
        QTest::newRow("one month") << local(2024, 5, 11, 9, 0) << "1 month ago";
        QTest::newRow("two years") << local(2022, 6, 11, 9, 0) << "2 years ago";
    }

    void relative()
    {
        QFETCH(QDateTime, date);
        QTEST(relativeTimeText(date, local(2024, 6, 11, 10, 0)), "expected");
    }

    void futurePhrases_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("expected");
        const QDateTime now = local(2024, 6, 11, 10, 0);
        QTest::newRow("in 2 hours") << now.addSecs(7200) << "in 2 hours";
        QTest::newRow("tomorrow") << local(2024, 6, 12, 18, 0) << "tomorrow";
        QTest::newRow("in 3 days") << local(2024, 6, 14, 9, 0) << "in 3 days";
        QTest::newRow("past works the same") << now.addSecs(-10) << "10 seconds ago";
    }

    void futurePhrases()
    {
        QFETCH(QDateTime, date);
        QTEST(relativePhrase(date, local(2024, 6, 11, 10, 0)), "expected");
    }

    // The number texts: function, value, text.
    void numberTexts_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("durationText 59.5 rounds up") << "durationText" << 59.5 << "1 min";
        QTest::newRow("durationText 61") << "durationText" << 61.0 << "1 min 1 sec";
        QTest::newRow("durationText 3600") << "durationText" << 3600.0 << "1 h 0 min";
        QTest::newRow("durationText 3725") << "durationText" << 3725.0 << "1 h 2 min";
        QTest::newRow("durationText negative") << "durationText" << -5.0 << "-5 sec";
        QTest::newRow("durationText not a number") << "durationText" << std::nan("") << "0 sec";
        QTest::newRow("durationText beyond 64 bits") << "durationText" << 1e30 << "0 sec";
        QTest::newRow("clockText negative") << "clockText" << -1.0 << "0:00";
        QTest::newRow("clockText 75.9 truncates") << "clockText" << 75.9 << "1:15";
        QTest::newRow("clockText just under an hour") << "clockText" << 3599.0 << "59:59";
        QTest::newRow("clockText 3661") << "clockText" << 3661.0 << "1:01:01";
        QTest::newRow("clockText not a number") << "clockText" << std::nan("") << "0:00";
        QTest::newRow("clockText beyond 64 bits") << "clockText" << 1e300 << "0:00";
        QTest::newRow("uptimeText stats example") << "uptimeText" << 86342.0 << "0:23:59:02";
        QTest::newRow("uptimeText one of each") << "uptimeText" << 90061.9 << "1:01:01:01";
        QTest::newRow("uptimeText many days") << "uptimeText" << 400.0 * 86400 << "400:00:00:00";
        QTest::newRow("uptimeText not a number") << "uptimeText" << std::nan("") << "0:00:00:00";
        QTest::newRow("uptimeText beyond 64 bits") << "uptimeText" << 1e20 << "0:00:00:00";
        QTest::newRow("sizeText 1023 MB") << "sizeText" << 1023.0 << "1023 MB";
        QTest::newRow("sizeText exactly 1 GB") << "sizeText" << 1024.0 << "1.0 GB";
        QTest::newRow("sizeText stats disk") << "sizeText" << 412880.5 << "403.2 GB";
        QTest::newRow("sizeText just under 1 TB") << "sizeText" << 1048575.0 << "1024.0 GB";
        QTest::newRow("sizeText exactly 1 TB") << "sizeText" << 1048576.0 << "1.00 TB";
    }

    void numberTexts()
    {
        QFETCH(QString, function);
        QFETCH(double, value);
        const QHash<QString, QString (*)(double)> functions{{"durationText", durationText}, {"clockText", clockText},
                                                           {"uptimeText", uptimeText}, {"sizeText", sizeText}};
        QTEST(functions.value(function)(value), "expected");
    }

    void dayKeysFollowLocalZone()
    {
        // 04:00 UTC on 11 June 2024 is midnight in New York.
        const QDateTime midnight = QDateTime::fromSecsSinceEpoch(1718078400, Qt::UTC);
        QCOMPARE(dayKeyFormat(midnight), QStringLiteral("2024-06-11"));
        QCOMPARE(dayKeyFormat(midnight.addSecs(-1)), QStringLiteral("2024-06-10"));
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        QCOMPARE(dayKeyFormat(midnight), QStringLiteral("2024-06-11"));
    }

    void dayKeysParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: nothing
        QTest::newRow("day key") << "2024-06-11" << QDate(2024, 6, 11);
        QTest::newRow("last24Hours") << "last24Hours" << QDate();
    }

    void dayKeysParse()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseDayKey(text), date.isValid() ? std::optional(date) : std::nullopt);
    }

    void logTimestamps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("epoch"); // -1: does not parse
        QTest::newRow("summer, local time") << "2024-06-11 10:00:01" << qint64(1718114401);
        QTest::newRow("month 13") << "2024-13-01 00:00:00" << qint64(-1);
        QTest::newRow("ISO separator") << "2024-06-11T10:00:01" << qint64(-1);
        QTest::newRow("clock only") << "10:00:01.123 INF x" << qint64(-1);
    }

    void logTimestamps()
    {
        QFETCH(QString, text);
        QFETCH(qint64, epoch);
        const auto date = parseLogTimestamp(text);
        QCOMPARE(date.has_value(), epoch >= 0);
        if (!date)
            return;
        QCOMPARE(date->toSecsSinceEpoch(), epoch);
        QCOMPARE(logTimestampFormat(*date), text);
    }

    void timeOfDay()
    {
        QCOMPARE(timeOfDayFormat(QDateTime::fromSecsSinceEpoch(1718114401, Qt::UTC)), QStringLiteral("10:00"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(timeOfDayFormat(local(2024, 6, 11, 21, 5)), QStringLiteral("21:05"));
    }

    void localisedDateTimes_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("fullHolds");
        QTest::addColumn<QStringList>("mediumHolds");
        QTest::addColumn<QStringList>("mediumLacks");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                 << QStringList{"Tuesday", "June", "11", "2024", "14:05:09.250"}
                                 << QStringList{"Jun", "11", "2024", "14:05:09"}
                                 << QStringList{"Tuesday", "June", ".250"};
        QTest::newRow("Italian") << QLocale(QLocale::Italian, QLocale::Italy)
                                 << QStringList{"martedì", "giugno", "2024", "14:05:09.250"}
                                 << QStringList{"giu", "2024", "14:05:09"} << QStringList{"martedì", "giugno"};
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                                << QStringList{"Dienstag", "Juni", "2024", "14:05:09.250"}
                                << QStringList{"Juni", "2024", "14:05:09"} // German short June is still "Juni"
                                << QStringList{"Dienstag"};
    }

    void localisedDateTimes()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, fullHolds);
        QFETCH(QStringList, mediumHolds);
        QFETCH(QStringList, mediumLacks);
        QLocale::setDefault(locale);
        const QDateTime date = local(2024, 6, 11, 14, 5, 9).addMSecs(250);
        const QString full = fullDateTimeFormat(date);
        const QString medium = mediumDateTimeFormat(date);
        for (const QString &part : fullHolds)
            QVERIFY2(full.contains(part), qPrintable(full + " lacks " + part));
        for (const QString &part : mediumHolds)
            QVERIFY2(medium.contains(part), qPrintable(medium + " lacks " + part));
        for (const QString &part : mediumLacks)
            QVERIFY2(!medium.contains(part), qPrintable(medium + " holds " + part));
    }
};

QTEST_GUILESS_MAIN(TestTextFormats)
#include "tst_textformats.moc"
