#include "playback/LiveUrls.h"

namespace {

QUrl withPath(const QUrl &base, const QString &tail)
{
    if (!base.isValid() || base.host().isEmpty())
        return {};
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + tail, QUrl::DecodedMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

// Every reserved character is escaped: a stream or camera name may hold '&', '+', '#' or '%'.
QString queryValue(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

namespace LiveUrls {

QUrl webSocketOrigin(const QUrl &base)
{
    QUrl url = base;
    url.setScheme(base.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    return url;
}

QUrl webSocket(const QUrl &base, const QString &stream)
{
    QUrl url = withPath(webSocketOrigin(base), QStringLiteral("live/mse/api/ws"));
    if (url.isEmpty())
        return {};
    url.setQuery(QStringLiteral("src=") + queryValue(stream), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

QUrl mjpeg(const QUrl &base, const QString &camera)
{
    QUrl url = withPath(base, QStringLiteral("api/") + camera);
    if (url.isEmpty())
        return {};
    // 0.14 reads the height from `h`, 0.15 and later from `height`; each ignores the other.
    url.setQuery(QStringLiteral("fps=5&height=720&h=720"));
    return url.isValid() ? url : QUrl();
}

} // namespace LiveUrls
