#include "playback/MediaSource.h"

#include "client/ProgressWatchdog.h"
#include "client/UrlOrigin.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVariant>

namespace {

constexpr char RefusedRedirectProperty[] = "kestrovaRefusedRedirect";

}

QNetworkReply *MediaSource::get(const QUrl &url) const
{
    QNetworkReply *reply = network->get(request(url));
    if (transferTimeoutMs > 0)
        ProgressWatchdog::watch(reply, transferTimeoutMs);
    const QUrl home = origin;
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, home](const QUrl &target) {
        if (UrlOrigin::isSame(target, home)) {
            emit reply->redirectAllowed();
            return;
        }
        reply->setProperty(RefusedRedirectProperty, true);
        reply->abort();
    });
    return reply;
}

QNetworkRequest MediaSource::request(const QUrl &url) const
{
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    if (!UrlOrigin::isSame(url, origin)) {
        // The jar matches cookies by host alone: another port of the same host would get them.
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        return request;
    }
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setRawHeader(it.key().toUtf8(), it.value().toUtf8());
    if (cookie) {
        // The item's own cookie, not whatever the jar holds for the host.
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setHeader(QNetworkRequest::CookieHeader, QVariant::fromValue(QList<QNetworkCookie>{*cookie}));
    }
    return request;
}

bool MediaSource::refusedRedirect(const QNetworkReply *reply)
{
    return reply->property(RefusedRedirectProperty).toBool();
}
