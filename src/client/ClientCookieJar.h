#pragma once
#include "client/UrlOrigin.h"

#include <QNetworkCookieJar>
#include <optional>

// The session's cookie store. Qt's jar matches cookies on domain and path only, so a cookie set
// by http://nvr:8971 would also go to http://nvr:8080; this one keeps and hands out cookies for
// the client's own origin only (none at all while the client has no address).
class ClientCookieJar : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;

    void clear() { setAllCookies({}); }
    void setOrigin(std::optional<QUrl> origin) { m_origin = std::move(origin); }

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override
    {
        return isOwnOrigin(url) ? QNetworkCookieJar::cookiesForUrl(url) : QList<QNetworkCookie>();
    }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override
    {
        return isOwnOrigin(url) && QNetworkCookieJar::setCookiesFromUrl(cookies, url);
    }

private:
    bool isOwnOrigin(const QUrl &url) const { return m_origin && UrlOrigin::isSame(url, *m_origin); }

    std::optional<QUrl> m_origin;
};
