#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>

// One running app per configuration: the first launch owns a bus name, later ones hand their
// --server over to it and end. Without a session bus every launch runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrova.Kestrova")
public:
    enum class Outcome {
        First,       // this process owns the name and answers later launches
        HandedOver,  // the running one took the request: end this one
        Alone,       // no bus, or the running one did not answer: run without the name
    };

    static const QString BaseName;   // org.kestrova.Kestrova
    static const QString ObjectPath; // /org/kestrova/Kestrova

    SingleInstance(const QDBusConnection &bus, QString serviceName, QObject *parent = nullptr);

    // The bus name of the app whose preferences live at `preferencesPath`. The usual place
    // ($HOME/.config/Kestrova/Kestrova/Kestrova.ini) has the plain name; any other (a demo's or
    // a test's own XDG_CONFIG_HOME) gets the plain name plus ".c" and 16 hex digits of the
    // path's SHA-256, so such a run neither raises nor is raised by a real installation.
    static QString serviceNameFor(const QString &preferencesPath);

    // Blocks briefly, before any window exists: the name is claimed, or the launch handed to
    // the process holding it.
    Outcome claimOrHandOver(const QString &server);

public Q_SLOTS:
    // Called by a later launch: `server` is its --server name, empty if none.
    Q_SCRIPTABLE void Activate(const QString &server);

signals:
    void activationRequested(const QString &server);

private:
    QDBusConnection m_bus;
    QString m_serviceName;
};
