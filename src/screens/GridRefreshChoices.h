#pragma once
#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class AppModel;

// The refresh rates offered for the camera snapshots, one list for the Cameras menu and the
// settings screen, so a rate chosen in one shows as chosen in the other.
class GridRefreshChoices : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_MOC_INCLUDE("state/AppModel.h")

public:
    using QObject::QObject;

    // The rates every server is offered, seconds, in menu order.
    static QList<double> standardSeconds();
    // [{seconds, text, chosen}] in menu order: the standard rates, plus `current` in its place
    // when it is none of them (a rate stored by an older version, or typed into the stored
    // list), so the stored rate always shows as the chosen one.
    Q_INVOKABLE static QVariantList choicesFor(double current);
    static QString textFor(double seconds);
    // Copies the current server's settings with `seconds` as its snapshot refresh and makes the
    // copy current, which stores the server list.
    Q_INVOKABLE static void choose(AppModel *model, double seconds);
};
