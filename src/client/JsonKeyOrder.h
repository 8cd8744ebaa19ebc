#pragma once
#include <QByteArray>
#include <QHash>
#include <QStringList>

// QJsonObject sorts its keys; where the order a user wrote matters, it is read from the text.
// Servers from 0.15 keep their configuration's insertion order on the wire (0.14 sorts).

// For each camera of a configuration text, the keys of cameras.<camera>.live.streams in the
// order written. Cameras without such a map, or a text that is not JSON, give nothing.
QHash<QString, QStringList> liveStreamKeyOrder(const QByteArray &config);
