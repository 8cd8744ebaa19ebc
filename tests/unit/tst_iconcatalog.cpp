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
    void everySymbolHasAGlyphInTheFont()
    {
        QRawFont font;
        QFile file(QStringLiteral(":/Kestrova/fonts/materialdesignicons.ttf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        font.loadFromData(file.readAll(), 24, QFont::PreferDefaultHinting);
        QVERIFY(font.isValid());
        for (const QString &name : IconCatalog::symbolNames()) {
            const char32_t cp = IconCatalog::codepoint(name);
            QVERIFY2(cp != 0, qPrintable(name));
            QVERIFY2(font.supportsCharacter(cp), qPrintable(name));
        }
    }

    void glyphsOfKnownAndUnknownNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("known");
        QTest::newRow("first in order") << QStringLiteral("arrow.clockwise") << true;
        QTest::newRow("last in order") << QStringLiteral("xmark.octagon.fill") << true;
        QTest::newRow("tab icon") << QStringLiteral("chart.line.uptrend.xyaxis") << true;
        QTest::newRow("prefix of a name") << QStringLiteral("chart.line") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("case matters") << QStringLiteral("House") << false;
    }
    void glyphsOfKnownAndUnknownNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, known);
        IconCatalog catalog;
        const QString glyph = catalog.glyph(name);
        QCOMPARE(!glyph.isEmpty(), known);
        if (known)
            QCOMPARE(glyph.toUcs4().value(0), IconCatalog::codepoint(name));
    }

    void fontRegistersUnderAFamily()
    {
        IconCatalog catalog;
        QVERIFY(!catalog.fontFamily().isEmpty());
        QVERIFY(QFontDatabase::families().contains(catalog.fontFamily()));
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
