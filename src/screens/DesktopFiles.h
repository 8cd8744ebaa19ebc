#pragma once
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// What a desktop offers for a file the app saved: show it in the file manager, copy its path,
// and the folders saved files go to.
class DesktopFiles : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    // Selects the file in the file manager (org.freedesktop.FileManager1.ShowItems); without one
    // on the session bus, opens its folder.
    Q_INVOKABLE static void showInFolder(const QString &path);
    Q_INVOKABLE static void copyPath(const QString &path);
    // The path with the home folder written as "~", as people read it.
    Q_INVOKABLE static QString displayPath(const QString &path);

    // <Pictures>/Kestrova and <Downloads>, created when missing.
    static QString snapshotFolder();
    static QString downloadFolder();
};
