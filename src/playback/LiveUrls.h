#pragma once
#include <QString>
#include <QUrl>

// Where the live picture comes from, on the client's base URL (its path kept). An address that
// cannot be formed (no host) is an empty URL.
namespace LiveUrls {
// The relay's WebSocket: "wss" exactly when the base is "https", else "ws"; query src=<stream>.
QUrl webSocket(const QUrl &base, const QString &stream);
// The server's MJPEG stream of a camera at 5 fps, 720 pixels high.
QUrl mjpeg(const QUrl &base, const QString &camera);
// The base URL with the WebSocket scheme the relay is reached with, for origin checks.
QUrl webSocketOrigin(const QUrl &base);
} // namespace LiveUrls
