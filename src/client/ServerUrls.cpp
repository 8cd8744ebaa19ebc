#include "client/ServerUrls.h"

#include <QStringList>

namespace ServerUrls {

QUrl at(const QUrl &base, const QString &path, const QueryItems &query)
{
    if (!base.isValid() || base.host().isEmpty())
        return {};
    QUrl url = base;
    QString fullPath = url.path();
    if (!fullPath.endsWith(QLatin1Char('/')))
        fullPath += QLatin1Char('/');
    // A camera or stream name may hold '%', '#' or '?': the path is text, not an encoded form.
    url.setPath(fullPath + path, QUrl::DecodedMode);
    url.setFragment(QString());
    // "+" and "&" are encoded too: servers read a bare "+" in a query as a space (time zones like
    // Etc/GMT+1), and a name may hold either.
    QStringList pairs;
    for (const auto &[name, value] : query)
        pairs << QString::fromLatin1(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value, ",:/"));
    url.setQuery(pairs.isEmpty() ? QString() : pairs.join(QLatin1Char('&')), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

QueryItems heightQuery(int pixels)
{
    const QString height = QString::number(pixels);
    return {{QStringLiteral("height"), height}, {QStringLiteral("h"), height}};
}

} // namespace ServerUrls
