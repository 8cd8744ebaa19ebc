#pragma once
#include <QNetworkCookieJar>

// The session's cookie store; clearing it is how a client forgets the server it talked to.
class ClientCookieJar : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    void clear() { setAllCookies({}); }
};
