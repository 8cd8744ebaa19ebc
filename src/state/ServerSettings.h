#pragma once
#include "client/ServerAccess.h"
#include "client/UuidText.h"

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <optional>

// One configured Frigate server. The password is never part of it: it lives in the SecretStore.
struct ServerSettings
{
    Q_GADGET
    Q_PROPERTY(QString idText READ idText)
    Q_PROPERTY(QString serverName MEMBER serverName)
    Q_PROPERTY(QString internalURL MEMBER internalURL)
    Q_PROPERTY(QString externalURL MEMBER externalURL)
    Q_PROPERTY(QString username MEMBER username)
    Q_PROPERTY(double gridRefreshSeconds MEMBER gridRefreshSeconds)
    Q_PROPERTY(bool liveUsesSubstream MEMBER liveUsesSubstream)
    Q_PROPERTY(bool showDetections MEMBER showDetections)
    Q_PROPERTY(QString displayName READ displayName)

public:
    QUuid id = QUuid::createUuid();
    QString serverName;
    QString internalURL;
    QString externalURL;
    QString username;
    double gridRefreshSeconds = 2.0;
    bool liveUsesSubstream = false;
    bool showDetections = true;

    // Canonical upper-case UUID text without braces: the suffix of secret and preference keys.
    QString idText() const;
    QString displayName() const;
    ServerAccess access() const;

    QJsonObject toJson() const;
    // Every key is optional; a present key of the wrong type fails the decode.
    static std::optional<ServerSettings> fromJson(const QJsonObject &object);

    bool operator==(const ServerSettings &) const = default;
};
Q_DECLARE_METATYPE(ServerSettings)

// Reads UUID text in either letter case; nothing for text that is not a UUID.
std::optional<QUuid> uuidFromText(const QString &text);
