#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringView>

// Loose lookups into a generic JSON tree: a missing key or a value of another type reads as
// empty, so a reader never has to tell "absent" from "wrong shape".
namespace JsonLookup {

inline QJsonObject objectAt(const QJsonObject &object, QStringView key)
{
    const QJsonValue value = object.value(key);
    return value.isObject() ? value.toObject() : QJsonObject();
}

inline QJsonArray arrayAt(const QJsonObject &object, QStringView key)
{
    const QJsonValue value = object.value(key);
    return value.isArray() ? value.toArray() : QJsonArray();
}

inline bool boolAt(const QJsonObject &object, QStringView key, bool fallback)
{
    const QJsonValue value = object.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

} // namespace JsonLookup
