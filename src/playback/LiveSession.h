#pragma once
#include "playback/LiveSessionPolicy.h"
#include "playback/LiveStatus.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class FrigateClient;
class LivePlayer;
class QNetworkReply;
class QSslError;
class QWebSocket;

// One camera's live picture: the relay's WebSocket (fragmented MP4) and, when that cannot work,
// the server's MJPEG stream, both fed into a LivePlayer under LiveSessionPolicy's rules. The
// sign-in cookie and Bearer token go to the client's own origin only, and a server certificate
// that no longer matches its pin ends the session instead of reconnecting. GUI thread.
class LiveSession : public QObject, private LiveSessionPort
{
    Q_OBJECT
public:
    // Bytes of MJPEG silence after which the stream counts as failed (5 fps normally).
    static constexpr int MjpegSilenceMs = 10000;

    LiveSession(FrigateClient *client, LivePlayer *player, QObject *parent = nullptr);
    ~LiveSession() override;

    // Starts afresh on the client's current base URL (status loading); a no-op without one.
    void load(const QString &stream, const QString &camera);
    void stop();
    // Stops and returns to the loading status, for a view that no longer shows a stream.
    void reset();

    const LiveStatus &status() const { return m_policy.status(); }
    const QString &fallbackReason() const { return m_policy.fallbackReason(); }

signals:
    void statusChanged();

private:
    void connectSocket() override;
    void closeSocket() override;
    void sendText(const QString &text) override;
    void beginFragments() override;
    void pushFragment(const QByteArray &frame) override;
    void startMjpeg() override;
    void stopMjpeg() override;
    void endPlayer() override;
    void startTimer(LiveTimer timer, int ms) override;
    void stopTimer(LiveTimer timer) override;
    void showStatus(const LiveStatus &status) override;

    void wireSocket(QWebSocket *socket);
    void onSocketGone(QWebSocket *socket);
    void onSocketSslErrors(QWebSocket *socket, const QList<QSslError> &errors);
    void onMjpegData();
    void onMjpegFinished();
    QTimer &timer(LiveTimer which) { return which == LiveTimer::Retry ? m_retryTimer : m_noDataTimer; }

    QPointer<FrigateClient> m_client;
    QPointer<LivePlayer> m_player;
    LiveSessionPolicy m_policy;
    QUrl m_base;
    QUrl m_socketUrl;
    QUrl m_mjpegUrl;
    QPointer<QWebSocket> m_socket;
    QPointer<QNetworkReply> m_mjpeg;
    QTimer m_retryTimer;
    QTimer m_noDataTimer;
    QTimer m_mjpegSilence;
};
