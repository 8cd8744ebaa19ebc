#include "client/JsonKeyOrder.h"
#include "client/JsonLookup.h"
#include "client/TextFormats.h"
#include "client/WireDecoding.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace JsonLookup;

namespace {

// A JSON number with its fraction dropped; 0 for anything else, including numbers beyond int.
int intValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = std::trunc(value.toDouble());
    if (!(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max()))
        return 0;
    return int(number);
}

QString friendlyNameOf(const QString &name, const QJsonObject &camera)
{
    const QJsonValue configured = camera.value(u"friendly_name");
    if (configured.isString() && !configured.toString().isEmpty())
        return configured.toString();
    return capitalizedWords(QString(name).replace(u'_', u' '));
}

// The relay stream names of a camera in the order configured (keys beyond `keyOrder` after
// it, sorted). Servers before 0.16 name one stream in "stream_name" instead of a "streams" map.
QStringList streamNames(const QJsonObject &live, const QStringList &keyOrder)
{
    const QJsonValue streams = live.value(u"streams");
    if (streams.isUndefined()) {
        const QString single = live.value(u"stream_name").toString();
        return single.isEmpty() ? QStringList() : QStringList{single};
    }
    const QJsonObject map = streams.toObject();
    QStringList keys = keyOrder;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (!it.value().isString())
            return {};
        if (!keys.contains(it.key()))
            keys.append(it.key());
    }
    QStringList names;
    for (const QString &key : std::as_const(keys)) {
        if (map.contains(key))
            names.append(map.value(key).toString());
    }
    names.removeDuplicates();
    return names;
}

// The first stream as configured is the main one, as in the server's own web page: a map such as
// Clear/Balanced/Fluent lists the best first, whatever its names' alphabetical order.
void assignStreams(CameraInfo &camera, const QJsonObject &live, const QStringList &keyOrder,
                   const QJsonObject &relayStreams)
{
    const QStringList names = streamNames(live, keyOrder);
    const QString sub = camera.name + QStringLiteral("_sub");
    camera.mainStream = names.isEmpty() ? camera.name : names.first();
    if (names.contains(sub) && camera.mainStream != sub) {
        camera.subStream = sub;
        return;
    }
    for (const QString &name : names) {
        if (name != camera.mainStream) {
            camera.subStream = name;
            return;
        }
    }
    // A lone "stream_name" says nothing about a reduced stream; the relay's own list may.
    const QString relaySub = camera.mainStream + QStringLiteral("_sub");
    if (!live.contains(u"streams") && relayStreams.contains(relaySub))
        camera.subStream = relaySub;
}

std::optional<CameraInfo> decodeCamera(const QString &name, const QJsonObject &camera, const QStringList &streamOrder,
                                       const QJsonObject &relayStreams)
{
    const QJsonObject ui = objectAt(camera, u"ui");
    if (ui.value(u"dashboard") == QJsonValue(false))
        return std::nullopt;
    CameraInfo info;
    info.name = name;
    info.friendlyName = friendlyNameOf(name, camera);
    info.enabled = boolAt(camera, u"enabled", true);
    info.recordEnabled = boolAt(objectAt(camera, u"record"), u"enabled", false);
    info.uiOrder = intValue(ui.value(u"order"));
    assignStreams(info, objectAt(camera, u"live"), streamOrder, relayStreams);
    info.annotationOffset = numberValue(objectAt(camera, u"detect").value(u"annotation_offset"));
    return info;
}

// A list of names; a text is taken as comma-separated names, as the server keeps
// `cameras: "a,b"` from its YAML as one text.
QStringList groupCameras(const QJsonValue &value)
{
    if (value.isString()) {
        QStringList names = value.toString().split(u',', Qt::SkipEmptyParts);
        for (QString &name : names)
            name = name.trimmed();
        names.removeAll(QString());
        return names;
    }
    QStringList names;
    for (const QJsonValue &entry : value.toArray()) {
        if (!entry.isString())
            return {};
        names.append(entry.toString());
    }
    return names;
}

QList<CameraGroup> decodeGroups(const QJsonObject &groups)
{
    QList<CameraGroup> result;
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        if (!it.value().isObject())
            continue;
        const QJsonObject group = it.value().toObject();
        result.append({it.key(), groupCameras(group.value(u"cameras")), intValue(group.value(u"order"))});
    }
    std::sort(result.begin(), result.end(), [](const CameraGroup &a, const CameraGroup &b) {
        return a.order != b.order ? a.order < b.order : a.name < b.name;
    });
    return result;
}

} // namespace

FrigateApi::ServerConfig decodeConfig(const QJsonObject &config, const QByteArray &text)
{
    FrigateApi::ServerConfig result;
    const QHash<QString, QStringList> streamOrders = liveStreamKeyOrder(text);
    const QJsonObject cameras = objectAt(config, u"cameras");
    const QJsonObject relayStreams = objectAt(objectAt(config, u"go2rtc"), u"streams");
    for (auto it = cameras.begin(); it != cameras.end(); ++it) {
        const QStringList streamOrder = streamOrders.value(it.key());
        if (auto camera = decodeCamera(it.key(), it.value().toObject(), streamOrder, relayStreams))
            result.cameras.append(*camera);
    }
    result.groups = decodeGroups(objectAt(config, u"camera_groups"));
    return result;
}
