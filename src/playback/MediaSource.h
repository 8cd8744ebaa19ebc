#pragma once
#include <QMap>
#include <QNetworkCookie>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>
#include <optional>

class QNetworkAccessManager;

// How the player reaches a recording: the client's network stack (its cookie jar and certificate
// pins apply to every reply) plus the sign-in cookie and headers of the item.
struct MediaSource
{
    QPointer<QNetworkAccessManager> network;
    std::optional<QNetworkCookie> cookie;
    QMap<QString, QString> headers;

    static constexpr int TransferTimeoutMs = 30000;

    QNetworkRequest request(const QUrl &url) const;
};
