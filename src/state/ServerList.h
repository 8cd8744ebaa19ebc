#pragma once
#include "client/FrigateError.h"
#include "client/SecretAccounts.h"
#include "state/ServerSettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QVariantList>
#include <QCoro/QCoroTask>
#include <optional>

class PreferencesStore;
class SecretStore;

// Where the list and each server's own values live.
namespace StateKeys {
inline constexpr auto servers = "Kestrova.servers";
// The list data found unreadable at load, kept here rather than lost when a new list is saved.
inline constexpr auto unreadableServers = "Kestrova.servers.unreadable";
// The single server of the first releases, migrated once into the list.
inline constexpr auto legacySettings = "Kestrova.settings";

// "Kestrova." + name + "." + id text, e.g. serverPreference("aspects", id).
QString serverPreference(const QString &name, const QUuid &id);
// The three per-server preferences: "cameraOrder", "aspects", "logSeen".
QStringList serverPreferenceNames();
using SecretAccounts::passwordAccount;
using SecretAccounts::tokenAccount;
}

// Every configured server, which one is the default and whether it is opened at launch.
struct ServerList
{
    Q_GADGET
    Q_PROPERTY(QVariantList servers READ serverValues)
    Q_PROPERTY(QString defaultIDText READ defaultIDText)
    Q_PROPERTY(bool autoConnect MEMBER autoConnect)

public:
    QList<ServerSettings> servers;
    std::optional<QUuid> defaultID;
    bool autoConnect = false;

    QJsonObject toJson() const;
    // The stored bytes; nothing when a value cannot be written as JSON (a non-finite number).
    std::optional<QByteArray> encode() const;
    // "servers" and "autoConnect" are required, "defaultID" is optional.
    static std::optional<ServerList> fromJson(const QJsonObject &object);
    static std::optional<ServerList> decode(const QByteArray &bytes);

    std::optional<ServerSettings> server(const QUuid &id) const;
    std::optional<ServerSettings> defaultServer() const;
    // Replaces the server with the same id in place, or appends it.
    void upsert(const ServerSettings &settings);
    // Drops the server and, when it was the default, the default mark; false if absent.
    bool remove(const QUuid &id);

    QVariantList serverValues() const;
    QString defaultIDText() const;

    bool operator==(const ServerList &) const = default;
};
Q_DECLARE_METATYPE(ServerList)

// Never fails. Data that does not read whole is kept aside and gives the servers that still
// read, with their sound fields (a field of the wrong type takes its default); failing that, the
// server migrated from the single-server store, whose secrets and preferences move with it, or
// an empty list.
QCoro::Task<ServerList> loadServerList(PreferencesStore &prefs, SecretStore &secrets);
// A LocalFile error when the list did not reach the store; the stored list is then the earlier one.
Status saveServerList(PreferencesStore &prefs, const ServerList &list);

// True when the server needs no sign-in or a password is saved for it.
QCoro::Task<bool> canConnectWithoutAsking(ServerSettings settings, SecretStore &secrets);
