#pragma once
#include <QMap>
#include <QNetworkCookie>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// How the player reaches a recording: the client's network stack (its cookie jar and certificate
// pins apply to every reply) plus the sign-in cookie and headers of the item. A playlist may name
// any address, so the credentials go only to the server's own origin (scheme, host and port).
struct MediaSource
{
    QPointer<QNetworkAccessManager> network;
    std::optional<QNetworkCookie> cookie;
    QMap<QString, QString> headers;
    QUrl origin; // the item's playlist URL, on the client's base URL

    static constexpr int TransferTimeoutMs = 30000;
    // How long a reply may go without progress (see ProgressWatchdog) before it is aborted; 0 for
    // none (an endless stream).
    int transferTimeoutMs = TransferTimeoutMs;

    // A GET that carries the credentials only to `origin` and follows redirects only within it;
    // a redirect elsewhere aborts the reply (see refusedRedirect).
    QNetworkReply *get(const QUrl &url) const;
    QNetworkRequest request(const QUrl &url) const;
    static bool refusedRedirect(const QNetworkReply *reply);
};
