#pragma once
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

// A session bus of the test's own (dbus-daemon --session), so a fake desktop service and the app
// can meet without touching the user's bus. Connections made through it are closed, and the
// daemon ended, with the object.
class PrivateSessionBus
{
public:
    PrivateSessionBus() = default;
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;
    ~PrivateSessionBus();

    // False when no daemon could be started.
    bool start();
    QString address() const { return m_address; }
    // A new connection to the bus, under a name of its own.
    QDBusConnection connect(const QString &name);

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
