#include "state/ServerSettings.h"

#include <QJsonValue>

QString ServerSettings::idText() const
{
    return uuidText(id);
}

ServerAccess ServerSettings::access() const
{
    return {id, internalURL, externalURL, username, showDetections};
}

QString ServerSettings::displayName() const
{
    if (!serverName.isEmpty())
        return serverName;
    if (!internalURL.isEmpty())
        return internalURL;
    if (!externalURL.isEmpty())
        return externalURL;
    return QStringLiteral("Frigate");
}

QJsonObject ServerSettings::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), idText()},
        {QStringLiteral("serverName"), serverName},
        {QStringLiteral("internalURL"), internalURL},
        {QStringLiteral("externalURL"), externalURL},
        {QStringLiteral("username"), username},
        {QStringLiteral("gridRefreshSeconds"), gridRefreshSeconds},
        {QStringLiteral("liveUsesSubstream"), liveUsesSubstream},
        {QStringLiteral("showDetections"), showDetections},
    };
}

namespace {

bool isAbsent(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull();
}

// Each reader leaves the target untouched for an absent or null value and answers false only
// for a present value of the wrong type.
bool readText(const QJsonObject &object, const char *key, QString &target)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (isAbsent(value))
        return true;
    if (!value.isString())
        return false;
    target = value.toString();
    return true;
}

bool readDouble(const QJsonObject &object, const char *key, double &target)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (isAbsent(value))
        return true;
    if (!value.isDouble())
        return false;
    target = value.toDouble();
    return true;
}

bool readBool(const QJsonObject &object, const char *key, bool &target)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (isAbsent(value))
        return true;
    if (!value.isBool())
        return false;
    target = value.toBool();
    return true;
}

} // namespace

std::optional<QUuid> uuidFromText(const QString &text)
{
    const QUuid id = QUuid::fromString(text);
    if (!id.isNull())
        return id;
    // fromString() answers the nil UUID for unreadable text, so only the nil UUID's own text is one.
    if (text.compare(uuidText(QUuid()), Qt::CaseInsensitive) == 0)
        return id;
    return std::nullopt;
}

std::optional<ServerSettings> ServerSettings::fromJson(const QJsonObject &object)
{
    ServerSettings settings;
    const QJsonValue id = object.value(QLatin1String("id"));
    if (!isAbsent(id)) {
        if (!id.isString())
            return std::nullopt;
        const std::optional<QUuid> parsed = uuidFromText(id.toString());
        if (!parsed)
            return std::nullopt;
        settings.id = *parsed;
    }
    const bool ok = readText(object, "serverName", settings.serverName)
        && readText(object, "internalURL", settings.internalURL)
        && readText(object, "externalURL", settings.externalURL)
        && readText(object, "username", settings.username)
        && readDouble(object, "gridRefreshSeconds", settings.gridRefreshSeconds)
        && readBool(object, "liveUsesSubstream", settings.liveUsesSubstream)
        && readBool(object, "showDetections", settings.showDetections);
    if (!ok)
        return std::nullopt;
    return settings;
}
