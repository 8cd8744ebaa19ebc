#pragma once
#include <QUrl>

// The sign-in cookie and the Bearer token go only to the server's own origin: the same scheme,
// host and port as the address the client connected to. A playlist, a redirect or a stored link
// may name any other origin, and must not receive them.
namespace UrlOrigin {

inline int effectivePort(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const bool tls = scheme == QLatin1String("https") || scheme == QLatin1String("wss");
    return url.port(tls ? 443 : 80);
}

inline bool isSame(const QUrl &a, const QUrl &b)
{
    return !a.host().isEmpty() && a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0
        && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && effectivePort(a) == effectivePort(b);
}

} // namespace UrlOrigin
