#include "state/ServerList.h"

#include "client/PreferencesStore.h"
#include "client/SecretStore.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace StateKeys {

QString serverPreference(const QString &name, const QUuid &id)
{
    return QStringLiteral("Kestrova.") + name + u'.' + uuidText(id);
}

QStringList serverPreferenceNames()
{
    return {QStringLiteral("cameraOrder"), QStringLiteral("aspects"), QStringLiteral("logSeen")};
}

} // namespace StateKeys

QJsonObject ServerList::toJson() const
{
    QJsonArray array;
    for (const ServerSettings &settings : servers)
        array.append(settings.toJson());
    QJsonObject object{{QStringLiteral("servers"), array}, {QStringLiteral("autoConnect"), autoConnect}};
    if (defaultID)
        object.insert(QStringLiteral("defaultID"), uuidText(*defaultID));
    return object;
}

std::optional<QByteArray> ServerList::encode() const
{
    for (const ServerSettings &settings : servers) {
        if (!std::isfinite(settings.gridRefreshSeconds))
            return std::nullopt;
    }
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<ServerList> ServerList::fromJson(const QJsonObject &object)
{
    const QJsonValue servers = object.value(QLatin1String("servers"));
    const QJsonValue autoConnect = object.value(QLatin1String("autoConnect"));
    if (!servers.isArray() || !autoConnect.isBool())
        return std::nullopt;

    ServerList list;
    list.autoConnect = autoConnect.toBool();
    for (const QJsonValue &entry : servers.toArray()) {
        if (!entry.isObject())
            return std::nullopt;
        std::optional<ServerSettings> settings = ServerSettings::fromJson(entry.toObject());
        if (!settings)
            return std::nullopt;
        list.servers.append(*settings);
    }

    const QJsonValue defaultID = object.value(QLatin1String("defaultID"));
    if (defaultID.isUndefined() || defaultID.isNull())
        return list;
    if (!defaultID.isString())
        return std::nullopt;
    list.defaultID = uuidFromText(defaultID.toString());
    if (!list.defaultID)
        return std::nullopt;
    return list;
}

std::optional<ServerList> ServerList::decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

std::optional<ServerSettings> ServerList::server(const QUuid &id) const
{
    for (const ServerSettings &settings : servers) {
        if (settings.id == id)
            return settings;
    }
    return std::nullopt;
}

std::optional<ServerSettings> ServerList::defaultServer() const
{
    if (!defaultID)
        return std::nullopt;
    return server(*defaultID);
}

void ServerList::upsert(const ServerSettings &settings)
{
    for (ServerSettings &existing : servers) {
        if (existing.id == settings.id) {
            existing = settings;
            return;
        }
    }
    servers.append(settings);
}

bool ServerList::remove(const QUuid &id)
{
    const qsizetype removed = servers.removeIf([&](const ServerSettings &s) { return s.id == id; });
    if (removed == 0)
        return false;
    if (defaultID == id)
        defaultID.reset();
    return true;
}

QVariantList ServerList::serverValues() const
{
    QVariantList values;
    values.reserve(servers.size());
    for (const ServerSettings &settings : servers)
        values.append(QVariant::fromValue(settings));
    return values;
}

QString ServerList::defaultIDText() const
{
    return defaultID ? uuidText(*defaultID) : QString();
}

Status saveServerList(PreferencesStore &prefs, const ServerList &list)
{
    const std::optional<QByteArray> bytes = list.encode();
    if (!bytes)
        return FrigateError::localFile(QCoreApplication::translate("ServerList", "a refresh interval is not a number"));
    return prefs.setValue(QLatin1String(StateKeys::servers), *bytes);
}

namespace {

// The stores hold data values; a text value (an edited settings file) is read as its UTF-8 bytes.
std::optional<QByteArray> storedBytes(const QVariant &value)
{
    const int type = value.typeId();
    if (type != QMetaType::QByteArray && type != QMetaType::QString)
        return std::nullopt;
    return value.toByteArray();
}

std::optional<ServerList> readStoredList(const PreferencesStore &prefs)
{
    const std::optional<QByteArray> bytes = storedBytes(prefs.value(QLatin1String(StateKeys::servers)));
    return bytes ? ServerList::decode(*bytes) : std::nullopt;
}

// A server entry of data that does not read whole, with the fields that read on their own: a
// field of the wrong type (or an unreadable id) takes its default. Nothing for a non-object.
std::optional<ServerSettings> salvagedServer(const QJsonValue &entry)
{
    if (!entry.isObject())
        return std::nullopt;
    const QJsonObject object = entry.toObject();
    QJsonObject sound;
    for (auto field = object.begin(); field != object.end(); ++field) {
        if (ServerSettings::fromJson(QJsonObject{{field.key(), field.value()}}))
            sound.insert(field.key(), field.value());
    }
    return ServerSettings::fromJson(sound);
}

bool hasAddress(const ServerSettings &server)
{
    return !server.internalURL.isEmpty() || !server.externalURL.isEmpty();
}

// The servers that still read from a list that does not: those with an address, the first of
// each id; the default only when it names one of them. Nothing when no server is left.
std::optional<ServerList> salvagedList(const PreferencesStore &prefs)
{
    const std::optional<QByteArray> bytes = storedBytes(prefs.value(QLatin1String(StateKeys::servers)));
    const QJsonObject object = QJsonDocument::fromJson(bytes.value_or(QByteArray())).object();
    ServerList list;
    for (const QJsonValue &entry : object.value(QLatin1String("servers")).toArray()) {
        const std::optional<ServerSettings> server = salvagedServer(entry);
        if (server && hasAddress(*server) && !list.server(server->id))
            list.servers.append(*server);
    }
    if (list.servers.isEmpty())
        return std::nullopt;
    list.autoConnect = object.value(QLatin1String("autoConnect")).toBool();
    const std::optional<QUuid> defaultID = uuidFromText(object.value(QLatin1String("defaultID")).toString());
    if (defaultID && list.server(*defaultID))
        list.defaultID = defaultID;
    return list;
}

std::optional<ServerSettings> readLegacySettings(const PreferencesStore &prefs)
{
    const std::optional<QByteArray> bytes = storedBytes(prefs.value(QLatin1String(StateKeys::legacySettings)));
    if (!bytes)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    if (!document.isObject())
        return std::nullopt;
    if (auto settings = ServerSettings::fromJson(document.object()))
        return settings;
    return salvagedServer(document.object());
}

// Earlier copies are never overwritten: each unreadable list gets the next free key.
Status keepUnreadableAside(PreferencesStore &prefs)
{
    const QString base = QLatin1String(StateKeys::unreadableServers);
    QString key = base;
    for (int n = 2; prefs.contains(key); ++n)
        key = base + u'.' + QString::number(n);
    return prefs.setValue(key, prefs.value(QLatin1String(StateKeys::servers)));
}

// The old item is deleted only once the new one reads back, so a failing store loses nothing.
QCoro::Task<> moveSecret(SecretStore &secrets, QString from, QString to)
{
    const std::optional<QString> value = co_await secrets.readSecret(from);
    if (!value)
        co_return;
    co_await secrets.writeSecret(value, to);
    const std::optional<QString> moved = co_await secrets.readSecret(to);
    if (moved != value)
        co_return;
    const std::optional<QString> nothing;
    co_await secrets.writeSecret(nothing, from);
}

void movePreferences(PreferencesStore &prefs, const QUuid &id)
{
    for (const QString &name : StateKeys::serverPreferenceNames()) {
        const QString oldKey = QStringLiteral("Kestrova.") + name;
        if (!prefs.contains(oldKey))
            continue;
        // The old value goes only once the new one is on disk.
        if (!prefs.setValue(StateKeys::serverPreference(name, id), prefs.value(oldKey)))
            prefs.remove(oldKey);
    }
}

} // namespace

QCoro::Task<ServerList> loadServerList(PreferencesStore &prefs, SecretStore &secrets)
{
    if (std::optional<ServerList> stored = readStoredList(prefs))
        co_return *stored;
    // Nothing is saved over data that could not be kept aside first.
    const bool canSave = !prefs.contains(QLatin1String(StateKeys::servers)) || !keepUnreadableAside(prefs);
    if (std::optional<ServerList> salvaged = salvagedList(prefs)) {
        if (canSave)
            saveServerList(prefs, *salvaged);
        co_return *salvaged;
    }

    ServerList list;
    const std::optional<ServerSettings> legacy = readLegacySettings(prefs);
    if (!legacy || (legacy->internalURL.isEmpty() && legacy->externalURL.isEmpty())) {
        if (canSave)
            saveServerList(prefs, list);
        co_return list;
    }

    list.servers = {*legacy};
    list.defaultID = legacy->id;
    list.autoConnect = true;
    // Named, not temporaries: GCC 12 mishandles temporaries inside co_await expressions.
    const QString oldPassword = QStringLiteral("password");
    const QString oldToken = QStringLiteral("token");
    const QString newPassword = StateKeys::passwordAccount(legacy->id);
    const QString newToken = StateKeys::tokenAccount(legacy->id);
    co_await moveSecret(secrets, oldPassword, newPassword);
    co_await moveSecret(secrets, oldToken, newToken);
    movePreferences(prefs, legacy->id);
    if (canSave)
        saveServerList(prefs, list);
    co_return list;
}

QCoro::Task<bool> canConnectWithoutAsking(ServerSettings settings, SecretStore &secrets)
{
    if (settings.username.isEmpty())
        co_return true;
    const QString account = StateKeys::passwordAccount(settings.id);
    const std::optional<QString> password = co_await secrets.readSecret(account);
    co_return password.has_value();
}
