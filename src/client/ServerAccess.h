#pragma once
#include <QString>
#include <QUuid>

// What the client needs of one configured server: whom to reach, where, as whom, and which
// review severities its lists ask for. The full settings record lives with the application state.
struct ServerAccess
{
    QUuid id;
    QString internalURL;
    QString externalURL;
    QString username;
    bool showDetections = true;

    bool operator==(const ServerAccess &) const = default;
};
