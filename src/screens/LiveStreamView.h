#pragma once
#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQmlParserStatus>
#include <QString>
#include <QUrl>
#include <QVideoSink>

class AppModel;
class LivePlayer;
class LiveSession;

// A camera's live picture for the live screen: drives a LiveSession into the VideoOutput's sink.
// A new stream or a new server address starts the session again (status Loading); sound follows
// `muted` without reconnecting; a new camera name or sign-in cookie alone changes nothing on
// screen. Destroying it ends the socket, the timers and the decoding at once.
class LiveStreamView : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(QString camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(QString stream READ stream WRITE setStream NOTIFY streamChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(QVideoSink *videoSink READ videoSink WRITE setVideoSink NOTIFY videoSinkChanged)
    // False while the view is not on screen (covered, another tab): nothing is fetched or decoded.
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)

public:
    enum class Status { Loading, Playing, Error, Reconnecting };
    Q_ENUM(Status)

    explicit LiveStreamView(QObject *parent = nullptr);
    ~LiveStreamView() override;

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    QString camera() const { return m_camera; }
    void setCamera(const QString &camera);
    QString stream() const { return m_stream; }
    void setStream(const QString &stream);
    bool muted() const { return m_muted; }
    void setMuted(bool muted);
    QVideoSink *videoSink() const { return m_sink; }
    void setVideoSink(QVideoSink *sink);
    bool active() const { return m_active; }
    void setActive(bool active);

    Status status() const;
    // "mse" or "mjpeg" while playing, the message on error, empty otherwise.
    QString statusText() const;

    void classBegin() override { }
    void componentComplete() override;

signals:
    void appModelChanged();
    void cameraChanged();
    void streamChanged();
    void mutedChanged();
    void videoSinkChanged();
    void activeChanged();
    void statusChanged();

private:
    void refresh();
    QUrl currentBase() const;

    QPointer<AppModel> m_app;
    QString m_camera;
    QString m_stream;
    bool m_muted = true;
    QPointer<QVideoSink> m_sink;
    bool m_complete = false;
    bool m_active = true;
    QString m_loadedCamera;
    LivePlayer *m_player;
    LiveSession *m_session = nullptr;
    QString m_loadedStream;
    QUrl m_loadedBase;
    bool m_loaded = false;
};
