#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// Renders the app's symbol names (the names the screens use for their icons) with the Material
// Design Icons font compiled into the resources. QML draws a symbol as Text in `fontFamily`
// with `glyph(name)`.
class IconCatalog : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(Icons)
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    explicit IconCatalog(QObject *parent = nullptr);

    // The glyph text of a symbol name; empty for an unknown name.
    Q_INVOKABLE QString glyph(const QString &symbolName) const;
    QString fontFamily() const;

    // 0 for an unknown name.
    static char32_t codepoint(QStringView symbolName);
    static QStringList symbolNames();
    // Registers the icon font with the application once; answers its family name.
    static QString loadFont();
};
