#pragma once
#include <QByteArray>

// What a segment of a Frigate playlist must start with, so that an error page or filler sent
// with status 200 fails the item instead of being fed to the demuxer.
enum class Container { TransportStream, Mp4InitSection, Mp4Fragment };

namespace ContainerSignature {
constexpr int HeadSize = 8;
// `head` holds at least HeadSize bytes, or the whole body when it is shorter.
bool matches(Container container, const QByteArray &head);
}
