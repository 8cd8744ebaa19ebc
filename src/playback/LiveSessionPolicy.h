#pragma once
#include "playback/LiveCodecs.h"
#include "playback/LiveStatus.h"

#include <QByteArray>
#include <QString>

enum class LiveTimer { Retry, NoData };

// What the live session's rules act on: the relay's socket, the MJPEG stream, the player, two
// one-shot timers and the status shown. Implemented by the live session, and by tests.
class LiveSessionPort
{
public:
    virtual ~LiveSessionPort() = default;
    virtual void connectSocket() = 0;
    virtual void closeSocket() = 0;
    virtual void sendText(const QString &text) = 0;
    // One fragmented-MP4 stream per accepted relay answer; pushFragment hands it a binary frame.
    virtual void beginFragments() = 0;
    virtual void pushFragment(const QByteArray &frame) = 0;
    virtual void startMjpeg() = 0;
    virtual void stopMjpeg() = 0;
    virtual void endPlayer() = 0;
    virtual void startTimer(LiveTimer timer, int ms) = 0;
    virtual void stopTimer(LiveTimer timer) = 0;
    virtual void showStatus(const LiveStatus &status) = 0;
};

// The live picture's rules, free of sockets and timers: the relay's WebSocket first, reconnected
// 2 s after every close; MJPEG when the relay cannot work (the 4th close in a row without any
// data ever, no data within 12 s of loading, or an answer we cannot play). Once the relay's
// pictures have played, a connection that brings none for 12 s, or bytes that no longer decode,
// is closed and replaced like a closed one. MJPEG is one-way until the next load. The Italian
// texts are the ones users of the live page know.
class LiveSessionPolicy
{
public:
    static constexpr int RetryMs = 2000;
    static constexpr int NoDataMs = 12000;
    static constexpr int ClosesBeforeFallback = 4;

    LiveSessionPolicy(LiveSessionPort &port, const LiveDecoders &decoders);

    void load();
    // Ends everything at once; status stays as it was.
    void stop();
    // Stops and forgets the last status: nothing is playing, so nothing may claim to be live.
    void reset();
    // Ends everything and shows message; no retry (a changed server certificate).
    void fail(const QString &message);

    void socketOpened();
    void textMessage(const QString &text);
    void binaryMessage(const QByteArray &frame);
    void socketClosed();
    void timerFired(LiveTimer timer);
    void playerPlaying();
    void playerWaiting();
    void playerFailed();
    void mjpegFailed();

    const LiveStatus &status() const { return m_status; }
    // Why the session left the relay for MJPEG; empty while it has not.
    const QString &fallbackReason() const { return m_fallbackReason; }

    static QString unsupportedCodecText(const QString &mimeType);
    static QString socketUnavailableText();
    static QString noDataText();
    static QString streamUnavailableText();

private:
    enum class Phase { Idle, Relay, Mjpeg, Failed };

    void start();
    void halt();
    void fallback(const QString &reason);
    void setUpBuffer(const QString &mimeType);
    void reconnect();
    void setStatus(const LiveStatus &status);

    LiveSessionPort &m_port;
    LiveDecoders m_decoders;
    Phase m_phase = Phase::Idle;
    LiveStatus m_status;
    QString m_fallbackReason;
    QString m_mimeType;
    bool m_hasBuffer = false;
    bool m_gotData = false;
    bool m_relayPlayed = false; // the relay's pictures were on screen since the load
    bool m_mjpegPlayed = false; // the current MJPEG connection showed a picture
    int m_failures = 0;
};
