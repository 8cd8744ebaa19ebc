#include "playback/LiveSessionPolicy.h"

#include "client/Logging.h"

#include <QJsonDocument>
#include <QJsonObject>

LiveSessionPolicy::LiveSessionPolicy(LiveSessionPort &port, const LiveDecoders &decoders)
    : m_port(port)
    , m_decoders(decoders)
{ }

QString LiveSessionPolicy::unsupportedCodecText(const QString &mimeType)
{
    return QStringLiteral("Codec non supportato: ") + mimeType;
}

QString LiveSessionPolicy::socketUnavailableText()
{
    return QStringLiteral("WebSocket non disponibile");
}
QString LiveSessionPolicy::noDataText()
{
    return QStringLiteral("Nessun dato dal flusso");
}
QString LiveSessionPolicy::streamUnavailableText()
{
    return QStringLiteral("Flusso non disponibile");
}

void LiveSessionPolicy::load()
{
    halt();
    m_phase = Phase::Relay;
    m_gotData = false;
    m_relayPlayed = false;
    m_mjpegPlayed = false;
    m_failures = 0;
    m_fallbackReason.clear();
    setStatus(LiveStatus::loading());
    m_port.startTimer(LiveTimer::NoData, NoDataMs);
    start();
}

void LiveSessionPolicy::start()
{
    if (m_phase != Phase::Relay)
        return;
    m_hasBuffer = false;
    // An open socket can go quiet for good: a new connection gets as long as the first one had.
    if (m_relayPlayed)
        m_port.startTimer(LiveTimer::NoData, NoDataMs);
    m_port.connectSocket();
}

void LiveSessionPolicy::halt()
{
    m_port.stopTimer(LiveTimer::Retry);
    m_port.stopTimer(LiveTimer::NoData);
    m_port.closeSocket();
    m_port.stopMjpeg();
    m_port.endPlayer();
    m_hasBuffer = false;
}

void LiveSessionPolicy::stop()
{
    halt();
    m_phase = Phase::Idle;
}

void LiveSessionPolicy::reset()
{
    stop();
    m_fallbackReason.clear();
    setStatus(LiveStatus::loading());
}

void LiveSessionPolicy::fail(const QString &message)
{
    if (m_phase == Phase::Idle)
        return;
    halt();
    m_phase = Phase::Failed;
    setStatus(LiveStatus::error(message));
}

void LiveSessionPolicy::fallback(const QString &reason)
{
    halt();
    qCInfo(lcPlayback) << "live stream falls back to MJPEG:" << reason;
    m_phase = Phase::Mjpeg;
    m_mjpegPlayed = false;
    m_fallbackReason = reason;
    setStatus(LiveStatus::loading());
    m_port.startMjpeg();
}

void LiveSessionPolicy::socketOpened()
{
    if (m_phase != Phase::Relay)
        return;
    m_failures = 0;
    const QJsonObject handshake{{QStringLiteral("type"), QStringLiteral("mse")},
                                {QStringLiteral("value"), LiveCodecs::offered(m_decoders)}};
    m_port.sendText(QString::fromUtf8(QJsonDocument(handshake).toJson(QJsonDocument::Compact)));
}

void LiveSessionPolicy::textMessage(const QString &text)
{
    if (m_phase != Phase::Relay)
        return;
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString type = message.value(QStringLiteral("type")).toString();
    const QJsonValue value = message.value(QStringLiteral("value"));
    if (type == QLatin1String("mse"))
        setUpBuffer(value.toString());
    else if (type == QLatin1String("error"))
        setStatus(LiveStatus::error(value.toString()));
}

void LiveSessionPolicy::setUpBuffer(const QString &mimeType)
{
    if (!LiveCodecs::playable(mimeType, m_decoders)) {
        fallback(unsupportedCodecText(mimeType));
        return;
    }
    m_mimeType = mimeType;
    m_hasBuffer = true;
    m_port.beginFragments();
}

void LiveSessionPolicy::binaryMessage(const QByteArray &frame)
{
    // Without an accepted answer there is nowhere to put the bytes yet.
    if (m_phase != Phase::Relay || !m_hasBuffer)
        return;
    m_gotData = true;
    m_port.pushFragment(frame);
}

void LiveSessionPolicy::socketClosed()
{
    if (m_phase != Phase::Relay)
        return;
    m_hasBuffer = false;
    ++m_failures;
    if (m_failures >= ClosesBeforeFallback && !m_gotData) {
        fallback(socketUnavailableText());
        return;
    }
    setStatus(LiveStatus::reconnecting());
    m_port.startTimer(LiveTimer::Retry, RetryMs);
}

void LiveSessionPolicy::timerFired(LiveTimer timer)
{
    if (m_phase == Phase::Mjpeg && timer == LiveTimer::Retry) {
        m_port.startMjpeg();
        return;
    }
    if (m_phase != Phase::Relay)
        return;
    if (timer == LiveTimer::Retry)
        start();
    else if (m_relayPlayed)
        reconnect();
    else if (!m_gotData)
        fallback(noDataText());
}

void LiveSessionPolicy::reconnect()
{
    qCInfo(lcPlayback) << "live connection brings no pictures: reconnecting";
    m_port.closeSocket();
    m_hasBuffer = false;
    setStatus(LiveStatus::reconnecting());
    m_port.startTimer(LiveTimer::Retry, RetryMs);
}

void LiveSessionPolicy::playerPlaying()
{
    if (m_phase == Phase::Relay) {
        m_relayPlayed = true;
        m_port.stopTimer(LiveTimer::NoData);
        setStatus(LiveStatus::playing(QStringLiteral("mse")));
    } else if (m_phase == Phase::Mjpeg) {
        m_mjpegPlayed = true;
        setStatus(LiveStatus::playing(QStringLiteral("mjpeg")));
    }
}

void LiveSessionPolicy::playerWaiting()
{
    if (m_phase != Phase::Relay)
        return;
    setStatus(LiveStatus::reconnecting());
    m_port.startTimer(LiveTimer::NoData, NoDataMs);
}

void LiveSessionPolicy::playerFailed()
{
    if (m_phase != Phase::Relay) {
        mjpegFailed();
        return;
    }
    // Bytes of a stream that played before were damaged on the way; the codec is fine.
    if (m_relayPlayed)
        reconnect();
    else // the relay's bytes do not decode after all: the same as an answer we cannot play
        fallback(unsupportedCodecText(m_mimeType));
}

void LiveSessionPolicy::mjpegFailed()
{
    if (m_phase != Phase::Mjpeg)
        return;
    halt();
    // A stream that showed pictures and then ended (a server restart, a dropped link, a new
    // certificate) gets a new connection, which either plays or says why not. One that ends
    // before its first picture is unavailable.
    if (m_mjpegPlayed) {
        m_mjpegPlayed = false;
        setStatus(LiveStatus::reconnecting());
        m_port.startTimer(LiveTimer::Retry, RetryMs);
        return;
    }
    m_phase = Phase::Failed;
    setStatus(LiveStatus::error(streamUnavailableText()));
}

void LiveSessionPolicy::setStatus(const LiveStatus &status)
{
    if (m_status == status)
        return;
    m_status = status;
    m_port.showStatus(m_status);
}
