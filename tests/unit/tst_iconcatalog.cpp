#include "screens/IconCatalog.h"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

// Symbol names as the QML files write them: literals assigned to icon properties, and the
// tab bar's [tab, icon, selected icon] entries.
static QSet<QString> symbolsUsedInQml()
{
    static const QRegularExpression assignment(QStringLiteral(
        R"re((?:\bname|symbol|systemName|icon\w*|\w*[sS]ymbol)\s*:\s*[^\n]*|\[\s*BITabBar\.\w+\s*,[^\]]*\])re"));
    static const QRegularExpression literal(QStringLiteral(R"re("([a-z][a-z0-9]*(?:\.[a-z0-9]+)*)")re"));
    QSet<QString> names;
    QDirIterator files(QStringLiteral(":/Kestrova"), {QStringLiteral("*.qml")}, QDir::Files);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto line = assignment.globalMatch(text); line.hasNext();) {
            const QString statement = line.next().captured(0);
            for (auto name = literal.globalMatch(statement); name.hasNext();)
                names.insert(name.next().captured(1));
        }
    }
    return names;
}

class TestIconCatalog : public QObject
{
    Q_OBJECT

private slots:
    // Looking every name up also proves the table sorted, as the lookup is a binary search.
    void everySymbolHasAGlyphInTheRegisteredFont()
    {
        IconCatalog catalog;
        QVERIFY(QFontDatabase::families().contains(catalog.fontFamily()));
        QFile file(QStringLiteral(":/Kestrova/fonts/materialdesignicons.ttf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRawFont font(file.readAll(), 24);
        for (const QString &name : IconCatalog::symbolNames()) {
            const QList<uint> glyph = catalog.glyph(name).toUcs4();
            QVERIFY2(glyph.size() == 1 && font.supportsCharacter(glyph[0]), qPrintable(name));
        }
        for (const QString &unknown : {QStringLiteral("chart.line"), QStringLiteral("House"), QString()})
            QVERIFY2(catalog.glyph(unknown).isEmpty(), qPrintable(unknown));
    }

    void everySymbolTheScreensUseIsMapped()
    {
        const QSet<QString> used = symbolsUsedInQml();
        QVERIFY2(used.contains(QStringLiteral("house.fill")), "the QML scan found no tab icons");
        const QStringList known = IconCatalog::symbolNames();
        QStringList missing;
        for (const QString &name : used) {
            if (!known.contains(name))
                missing << name;
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    }
};

QTEST_MAIN(TestIconCatalog)
#include "tst_iconcatalog.moc"
