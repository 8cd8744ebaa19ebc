#include "playback/LiveUrls.h"

#include "client/ServerUrls.h"

namespace LiveUrls {

QUrl webSocketOrigin(const QUrl &base)
{
    QUrl url = base;
    url.setScheme(base.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    return url;
}

QUrl webSocket(const QUrl &base, const QString &stream)
{
    return ServerUrls::at(webSocketOrigin(base), QStringLiteral("live/mse/api/ws"), {{QStringLiteral("src"), stream}});
}

QUrl mjpeg(const QUrl &base, const QString &camera)
{
    const QueryItems query = QueryItems{{QStringLiteral("fps"), QStringLiteral("5")}} + ServerUrls::heightQuery(720);
    return ServerUrls::at(base, QStringLiteral("api/") + camera, query);
}

} // namespace LiveUrls
