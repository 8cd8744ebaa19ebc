#pragma once
#include "playback/MediaPlayer.h"
#include "playback/MotionAnalyzer.h"
#include "playback/PlaybackItem.h"

#include <QImage>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QVariant>
#include <QVideoSink>
#include <QtQml/qqmlregistration.h>
#include <optional>

class FrigateClient;
class QNetworkAccessManager;

// Drives the recording player of one screen: loads an item's HLS playlist with the sign-in
// credentials, publishes the playback state the screen draws (each field written only when it
// changes), counts finished items for continuous playback, and feeds shown pictures to the motion
// analyzer while motion boxes are on. Everything happens on the GUI thread.
class PlayerController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double currentTime READ currentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isBuffering READ isBuffering NOTIFY isBufferingChanged)
    Q_PROPERTY(float rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(bool muted READ muted NOTIFY mutedChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    Q_PROPERTY(int finishedCount READ finishedCount NOTIFY finishedCountChanged)
    Q_PROPERTY(QVariant videoAspect READ videoAspectValue NOTIFY videoAspectChanged)
    Q_PROPERTY(QVariantList motionBoxes READ motionBoxesValue NOTIFY motionBoxesChanged)
    Q_PROPERTY(bool motionEnabled READ motionEnabled WRITE setMotionEnabled NOTIFY motionEnabledChanged)
    Q_PROPERTY(QVideoSink *videoSink READ videoSink WRITE setVideoSink NOTIFY videoSinkChanged)
    Q_PROPERTY(FrigateClient *client READ client WRITE setClient NOTIFY clientChanged)

public:
    explicit PlayerController(QObject *parent = nullptr);
    ~PlayerController() override;

    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    bool isPlaying() const { return m_isPlaying; }
    bool isBuffering() const { return m_isBuffering; }
    float rate() const { return m_rate; }
    bool muted() const { return m_muted; }
    std::optional<QString> error() const { return m_error; }
    QString errorText() const { return m_error.value_or(QString()); }
    bool hasError() const { return m_error.has_value(); }
    int finishedCount() const { return m_finishedCount; }
    std::optional<double> videoAspect() const { return m_videoAspect; }
    const QList<QRectF> &motionBoxes() const { return m_motionBoxes; }
    bool motionEnabled() const { return m_motionEnabled; }
    void setMotionEnabled(bool enabled);
    std::optional<double> pendingSeek() const { return m_pendingSeek; }
    bool motionBusy() const { return m_motionBusy; }
    double lastMotionTime() const { return m_lastMotionTime; }

    QVideoSink *videoSink() const { return m_player.videoSink(); }
    void setVideoSink(QVideoSink *sink);
    FrigateClient *client() const { return m_client; }
    // The client whose network stack (cookies, certificate pins) carries the media requests.
    void setClient(FrigateClient *client);
    void setNetwork(QNetworkAccessManager *network);

    MediaPlayer &player() { return m_player; }
    const MediaPlayer &player() const { return m_player; }

    // Builds the item's media request from the client and loads it; consumes the request's
    // startOffset. Nothing happens when the client cannot make a URL. Answers whether it loaded.
    bool loadCurrent(FrigateClient *client, PlayerRequest &request);
    void load(const QUrl &url, const std::optional<QNetworkCookie> &cookie, const QMap<QString, QString> &headers,
              std::optional<double> startAt);
    Q_INVOKABLE void teardown();
    Q_INVOKABLE void play();
    Q_INVOKABLE void togglePlay();
    Q_INVOKABLE void seek(double seconds);
    // One picture forward (direction > 0) or back, frame-exact, while paused.
    Q_INVOKABLE void stepFrame(int direction);
    Q_INVOKABLE void cycleRate();
    // The next slower (direction < 0) or faster speed, stopping at the ends.
    Q_INVOKABLE void changeRate(int direction);
    Q_INVOKABLE void toggleMute();
    // The picture shown at the current item time, as a BGRA image; absent without one.
    std::optional<QImage> snapshotImage() const;

signals:
    void currentTimeChanged();
    void durationChanged();
    void isPlayingChanged();
    void isBufferingChanged();
    void rateChanged();
    void mutedChanged();
    void errorChanged();
    void finishedCountChanged();
    void videoAspectChanged();
    void motionBoxesChanged();
    void motionEnabledChanged();
    void videoSinkChanged();
    void clientChanged();

private:
    void tick();
    void onStatusChanged();
    void grabMotionFrame();
    void setCurrentTime(double value);
    void setDuration(double value);
    void setIsPlaying(bool value);
    void setIsBuffering(bool value);
    void setRate(float value);
    void setMuted(bool value);
    void setError(const std::optional<QString> &value);
    void setFinishedCount(int value);
    void setVideoAspect(const std::optional<double> &value);
    void setMotionBoxes(const QList<QRectF> &value);
    QVariant videoAspectValue() const;
    QVariantList motionBoxesValue() const;

    MediaPlayer m_player;
    double m_currentTime = 0;
    double m_duration = 0;
    bool m_isPlaying = false;
    bool m_isBuffering = true;
    float m_rate = 1.0f;
    bool m_muted = false;
    std::optional<QString> m_error;
    int m_finishedCount = 0;
    QMetaObject::Connection m_endObserver;
    std::optional<double> m_videoAspect;
    QList<QRectF> m_motionBoxes;
    bool m_motionEnabled = false;
    MotionAnalyzer m_motion;
    bool m_motionBusy = false;
    double m_lastMotionTime = -1;
    QTimer m_timeObserver;
    QMetaObject::Connection m_statusObservation;
    bool m_output = false;
    std::optional<double> m_pendingSeek;
    // Where the next frame step starts while the last one is still being decoded.
    std::optional<double> m_stepFrom;
    QPointer<FrigateClient> m_client;
    QPointer<QNetworkAccessManager> m_network;
};
