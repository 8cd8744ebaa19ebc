#pragma once
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
    // [{seconds, text}] in menu order.
    Q_PROPERTY(QVariantList choices READ choices CONSTANT)

public:
    using QObject::QObject;

    static QVariantList choices();
    // Copies the current server's settings with `seconds` as its snapshot refresh and makes the
    // copy current, which stores the server list.
    Q_INVOKABLE static void choose(AppModel *model, double seconds);
};
