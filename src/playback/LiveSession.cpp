#include "playback/LiveSession.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "client/ServerTrust.h"
#include "client/UrlOrigin.h"
#include "playback/LivePlayer.h"
#include "playback/LiveUrls.h"
#include "playback/PlaybackError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

LiveSession::LiveSession(FrigateClient *client, LivePlayer *player, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_player(player)
    , m_policy(*this, LiveDecoders::available())
{
    for (QTimer *timer : {&m_retryTimer, &m_noDataTimer, &m_mjpegSilence})
        timer->setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] { m_policy.timerFired(LiveTimer::Retry); });
    connect(&m_noDataTimer, &QTimer::timeout, this, [this] { m_policy.timerFired(LiveTimer::NoData); });
    connect(&m_mjpegSilence, &QTimer::timeout, this, [this] {
        qCInfo(lcPlayback) << "MJPEG stream went silent";
        if (m_mjpeg)
            m_mjpeg->abort();
    });
    if (!player)
        return;
    connect(player, &LivePlayer::playing, this, [this] { m_policy.playerPlaying(); });
    connect(player, &LivePlayer::waiting, this, [this] { m_policy.playerWaiting(); });
    connect(player, &LivePlayer::failed, this, [this](const QString &message) {
        qCInfo(lcPlayback) << "live picture failed:" << message;
        m_policy.playerFailed();
    });
}

LiveSession::~LiveSession()
{
    m_policy.stop();
}

void LiveSession::load(const QString &stream, const QString &camera)
{
    const std::optional<QUrl> base = m_client ? m_client->baseURL() : std::nullopt;
    if (!base) {
        stop();
        return;
    }
    m_base = *base;
    m_socketUrl = LiveUrls::webSocket(m_base, stream);
    m_mjpegUrl = LiveUrls::mjpeg(m_base, camera);
    m_policy.load();
}

void LiveSession::stop()
{
    m_policy.stop();
}

void LiveSession::reset()
{
    m_policy.reset();
}

void LiveSession::connectSocket()
{
    closeSocket();
    if (m_socketUrl.isEmpty()) {
        // Nothing to connect to counts as a close, as a refused connection would.
        QMetaObject::invokeMethod(
            this, [this] { m_policy.socketClosed(); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_socketUrl);
    const std::optional<QString> token = m_client ? m_client->token() : std::nullopt;
    const std::optional<QNetworkCookie> cookie = m_client ? m_client->signInCookie() : std::nullopt;
    if (UrlOrigin::isSame(m_socketUrl, LiveUrls::webSocketOrigin(m_base))) {
        if (token)
            request.setRawHeader("Authorization", "Bearer " + token->toUtf8());
        if (cookie)
            request.setRawHeader("Cookie", cookie->toRawForm(QNetworkCookie::NameAndValueOnly));
    }
    auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_socket = socket;
    wireSocket(socket);
    qCDebug(lcPlayback) << "live socket to" << m_socketUrl.toDisplayString();
    socket->open(request);
}

void LiveSession::wireSocket(QWebSocket *socket)
{
    connect(socket, &QWebSocket::connected, this, [this] { m_policy.socketOpened(); });
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this](const QString &text) { m_policy.textMessage(text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray &frame) { m_policy.binaryMessage(frame); });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { onSocketGone(socket); });
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this, socket](QAbstractSocket::SocketError error) {
                qCInfo(lcPlayback) << "live socket error" << error << socket->errorString();
                onSocketGone(socket);
            });
    connect(socket, &QWebSocket::sslErrors, this,
            [this, socket](const QList<QSslError> &errors) { onSocketSslErrors(socket, errors); });
}

// A refused upgrade (401), a failed connection and a closed socket are all one close.
void LiveSession::onSocketGone(QWebSocket *socket)
{
    if (socket != m_socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    m_socket = nullptr;
    m_policy.socketClosed();
}

void LiveSession::onSocketSslErrors(QWebSocket *socket, const QList<QSslError> &errors)
{
    ServerTrust *trust = m_client ? m_client->trust() : nullptr;
    if (!trust || socket != m_socket)
        return;
    const QUrl url = socket->requestUrl();
    QList<QSslCertificate> chain = socket->sslConfiguration().peerCertificateChain();
    if (chain.isEmpty() && !errors.isEmpty())
        chain = {errors.first().certificate()};
    const ServerTrust::Decision decision = trust->evaluate(url.host(), UrlOrigin::effectivePort(url), chain);
    if (decision == ServerTrust::Decision::Accept) {
        socket->ignoreSslErrors(errors);
        return;
    }
    if (decision == ServerTrust::Decision::DefaultHandling)
        return;
    // Never a quiet reconnect to a server that shows another certificate.
    disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    m_socket = nullptr;
    m_policy.fail(PlaybackError::certificateChanged());
}

void LiveSession::closeSocket()
{
    if (!m_socket)
        return;
    QWebSocket *socket = m_socket;
    m_socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->close();
    socket->deleteLater();
}

void LiveSession::sendText(const QString &text)
{
    if (m_socket)
        m_socket->sendTextMessage(text);
}

void LiveSession::beginFragments()
{
    if (m_player)
        m_player->begin(LivePlayer::Feed::FragmentedMp4);
}

void LiveSession::pushFragment(const QByteArray &frame)
{
    if (m_player)
        m_player->push(frame);
}

void LiveSession::endPlayer()
{
    if (m_player)
        m_player->end();
}

void LiveSession::startTimer(LiveTimer which, int ms)
{
    timer(which).start(ms);
}

void LiveSession::stopTimer(LiveTimer which)
{
    timer(which).stop();
}

void LiveSession::showStatus(const LiveStatus &status)
{
    qCDebug(lcPlayback) << "live status" << int(status.kind) << status.text;
    emit statusChanged();
}
