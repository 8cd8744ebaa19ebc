#include "client/TextFormats.h"
#include "state/Translations.h"

#include <QCoreApplication>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_translations.install(QStringLiteral("en"), QLocale::c()); }

    void choice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("languageVariable");
        QTest::addColumn<QString>("systemLocale");
        QTest::addColumn<QString>("expected");

        const QStringList bare{QStringLiteral("kestrova")};
        const auto withArgs = [&bare](std::initializer_list<const char *> extra) {
            QStringList args = bare;
            for (const char *arg : extra)
                args.append(QString::fromLatin1(arg));
            return args;
        };
        QTest::newRow("LANGUAGE=it") << bare << "it" << "en_US" << "it";
        QTest::newRow("LANGUAGE=it_IT:en") << bare << "it_IT:en" << "en_US" << "it";
        QTest::newRow("LANGUAGE skips unknown entries") << bare << "de_DE:it" << "en_US" << "it";
        QTest::newRow("LANGUAGE prefers English first") << bare << "fr:en:it" << "it_IT" << "en";
        QTest::newRow("LANGUAGE of unknowns only falls to the system") << bare << "de:fr" << "it_IT" << "it";
        QTest::newRow("--lang it beats LANGUAGE=en") << withArgs({"--lang", "it"}) << "en" << "en_US" << "it";
        QTest::newRow("--lang=it") << withArgs({"--lang=it"}) << "" << "C" << "it";
        QTest::newRow("--lang en beats Italian everywhere") << withArgs({"--lang", "en"}) << "it" << "it_IT" << "en";
        QTest::newRow("--lang with a territory") << withArgs({"--lang", "it_CH.UTF-8"}) << "" << "C" << "it";
        QTest::newRow("--lang unknown is ignored") << withArgs({"--lang", "xx"}) << "it" << "C" << "it";
        QTest::newRow("--lang without a value") << withArgs({"--lang"}) << "" << "it_IT" << "it";
        QTest::newRow("program name is no option") << QStringList{QStringLiteral("--lang=it")} << "" << "C" << "en";
        QTest::newRow("system it_IT") << bare << "" << "it_IT" << "it";
        QTest::newRow("system it_CH") << bare << "" << "it_CH" << "it";
        QTest::newRow("system de_DE gets English") << bare << "" << "de_DE" << "en";
        QTest::newRow("C locale gets English") << bare << "" << "C" << "en";
    }

    void choice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, languageVariable);
        QFETCH(QString, systemLocale);
        QFETCH(QString, expected);
        const QStringList systemLanguages = QLocale(systemLocale).uiLanguages();
        QCOMPARE(Translations::choose(arguments, languageVariable, systemLanguages), expected);
    }

    // Texts from C++ (with plural forms) and QML contexts, and the locale behind dates.
    void install_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("alertsTab");
        QTest::addColumn<QString>("fiveMinutesAgo");
        QTest::addColumn<QString>("defaultLocale");
        QTest::addColumn<QString>("december");

        QTest::newRow("it on an Italian system") << "it" << "it_IT" << "Avvisi" << "5 minuti fa" << "it_IT" << "dicembre";
        QTest::newRow("it on a Swiss system keeps the territory")
            << "it" << "it_CH" << "Avvisi" << "5 minuti fa" << "it_CH" << "dicembre";
        QTest::newRow("it on a German system") << "it" << "de_DE" << "Avvisi" << "5 minuti fa" << "it_IT" << "dicembre";
        QTest::newRow("en on an Italian system") << "en" << "it_IT" << "Alerts" << "5 minutes ago" << "en_US" << "December";
    }

    void install()
    {
        QFETCH(QString, language);
        QFETCH(QString, system);
        QFETCH(QString, alertsTab);
        QFETCH(QString, fiveMinutesAgo);
        QFETCH(QString, defaultLocale);
        QFETCH(QString, december);
        // The other language first: a second install must replace the first one's catalogues.
        m_translations.install(language == u"it" ? QStringLiteral("en") : QStringLiteral("it"), QLocale(system));
        m_translations.install(language, QLocale(system));

        QCOMPARE(QCoreApplication::translate("BITabBar", "Alerts"), alertsTab);
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(relativeTimeText(now.addSecs(-5 * 60), now), fiveMinutesAgo);
        QCOMPARE(QLocale().name(), defaultLocale);
        QCOMPARE(QLocale().standaloneMonthName(12), december);
    }

private:
    Translations m_translations;
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
