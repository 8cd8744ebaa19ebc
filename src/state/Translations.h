#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

// The language the interface speaks and the catalogues that make it speak it. English is the
// source language and needs no catalogue; every other one is a kestrova_<language>.qm built into
// the resources, joined by Qt's own qtbase_<language>.qm where the system has it, so standard
// dialogs follow.
class Translations
{
public:
    // Languages the interface can speak: "en" and one for each built-in catalogue.
    static QStringList available();

    // "--lang X" (or "--lang=X") among `arguments` decides; else the first entry of the
    // colon-separated `languageVariable` (GNU LANGUAGE) naming an available language; else the
    // first such entry of `systemLanguages` (QLocale::system().uiLanguages()); else English.
    // Entries may carry a territory, encoding or modifier ("it_IT.UTF-8", "it-CH").
    static QString choose(const QStringList &arguments, const QString &languageVariable,
                          const QStringList &systemLanguages);

    // Installs the catalogues of `language` (replacing those of an earlier call) and makes it the
    // default locale, in the system's territory where the two fit, so dates and month names follow.
    void install(const QString &language, const QLocale &system = QLocale::system());

    // The choice for this process: its arguments, LANGUAGE and the system locale.
    static QString chooseForProcess();

private:
    void removeAll();

    QTranslator m_app;
    QTranslator m_qt;
};
