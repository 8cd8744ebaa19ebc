#include "playback/LiveSession.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "playback/LivePlayer.h"
#include "playback/MediaSource.h"
#include "playback/PlaybackError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

// Credentials go to the own origin only and a redirect elsewhere is not followed (MediaSource).
void LiveSession::startMjpeg()
{
    stopMjpeg();
    QNetworkAccessManager *network = m_client ? m_client->network() : nullptr;
    if (!network || m_mjpegUrl.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { m_policy.mjpegFailed(); }, Qt::QueuedConnection);
        return;
    }
    MediaSource source;
    source.network = network;
    source.cookie = m_client->signInCookie();
    source.origin = m_base;
    // The body never ends: the silence watchdog stands in for the transfer time-out.
    source.transferTimeoutMs = 0;
    if (const std::optional<QString> token = m_client->token())
        source.headers.insert(QStringLiteral("Authorization"), QStringLiteral("Bearer ") + *token);

    QNetworkReply *reply = source.get(m_mjpegUrl);
    connect(reply, &QNetworkReply::readyRead, this, &LiveSession::onMjpegData);
    connect(reply, &QNetworkReply::finished, this, &LiveSession::onMjpegFinished);
    m_mjpeg = reply;
    if (m_player)
        m_player->begin(LivePlayer::Feed::MultipartJpeg);
    m_mjpegSilence.start(MjpegSilenceMs);
}

void LiveSession::stopMjpeg()
{
    m_mjpegSilence.stop();
    if (!m_mjpeg)
        return;
    QNetworkReply *reply = m_mjpeg;
    m_mjpeg = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void LiveSession::onMjpegData()
{
    if (!m_mjpeg)
        return;
    const QByteArray bytes = m_mjpeg->readAll();
    const int status = m_mjpeg->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An error page is no picture; the reply's end reports the failure.
    if (status < 200 || status > 299)
        return;
    m_mjpegSilence.start(MjpegSilenceMs);
    if (m_player)
        m_player->push(bytes);
}

// The stream is endless: its end, whatever the reason, leaves no live picture.
void LiveSession::onMjpegFinished()
{
    QNetworkReply *reply = m_mjpeg;
    if (!reply)
        return;
    m_mjpeg = nullptr;
    m_mjpegSilence.stop();
    reply->deleteLater();
    const QString problem = PlaybackError::fromReply(reply);
    qCInfo(lcPlayback) << "MJPEG stream ended:" << reply->error() << problem;
    if (problem == PlaybackError::certificateChanged())
        m_policy.fail(problem);
    else
        m_policy.mjpegFailed();
}
