#include "state/Translations.h"

#include "client/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>

namespace {

const QString CatalogueFolder = QStringLiteral(":/i18n");
const QString CataloguePrefix = QStringLiteral("kestrova_");
const QString SourceLanguage = QStringLiteral("en");

// "it_IT.UTF-8", "it-CH" and "it@euro" all name "it".
QString languageOf(const QString &entry)
{
    static const QRegularExpression separator(QStringLiteral("[_\\-.@]"));
    const qsizetype end = entry.indexOf(separator);
    return entry.left(end).trimmed().toLower();
}

QString firstAvailable(const QStringList &entries, const QStringList &available)
{
    for (const QString &entry : entries) {
        const QString language = languageOf(entry);
        if (available.contains(language))
            return language;
    }
    return {};
}

QString languageOption(const QStringList &arguments)
{
    static const QString option = QStringLiteral("--lang");
    static const QString optionWithValue = QStringLiteral("--lang=");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == option && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (arguments.at(i).startsWith(optionWithValue))
            return arguments.at(i).mid(optionWithValue.size());
    }
    return {};
}

} // namespace

QStringList Translations::available()
{
    QStringList languages{SourceLanguage};
    const QStringList catalogues = QDir(CatalogueFolder).entryList({CataloguePrefix + QStringLiteral("*.qm")});
    for (const QString &file : catalogues)
        languages.append(file.mid(CataloguePrefix.size()).chopped(3));
    return languages;
}

QString Translations::choose(const QStringList &arguments, const QString &languageVariable,
                             const QStringList &systemLanguages)
{
    const QStringList languages = available();
    const QString option = languageOf(languageOption(arguments));
    if (languages.contains(option))
        return option;
    if (!option.isEmpty())
        qCWarning(lcState) << "No translation for" << option << "- ignoring --lang";
    for (const QStringList &entries : {languageVariable.split(u':', Qt::SkipEmptyParts), systemLanguages}) {
        const QString language = firstAvailable(entries, languages);
        if (!language.isEmpty())
            return language;
    }
    return SourceLanguage;
}

QString Translations::chooseForProcess()
{
    return choose(QCoreApplication::arguments(), qEnvironmentVariable("LANGUAGE"), QLocale::system().uiLanguages());
}

void Translations::install(const QString &language, const QLocale &system)
{
    removeAll();
    const QLocale spoken(language);
    const QLocale withTerritory(spoken.language(), system.territory());
    QLocale::setDefault(withTerritory.language() == spoken.language() ? withTerritory : spoken);
    if (language == SourceLanguage)
        return;
    if (m_app.load(CataloguePrefix + language, CatalogueFolder))
        QCoreApplication::installTranslator(&m_app);
    else
        qCWarning(lcState) << "No catalogue for" << language;
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (m_qt.load(QStringLiteral("qtbase_") + language, qtFolder))
        QCoreApplication::installTranslator(&m_qt);
    else
        qCInfo(lcState) << "Qt's own texts stay in English: no qtbase catalogue for" << language << "in" << qtFolder;
}

void Translations::removeAll()
{
    QCoreApplication::removeTranslator(&m_app);
    QCoreApplication::removeTranslator(&m_qt);
}
