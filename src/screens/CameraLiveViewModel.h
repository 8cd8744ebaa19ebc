#pragma once
#include "client/FrigateError.h"
#include "client/WireRecords.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class AppModel;

// The camera live screen: which camera and stream play, sound, the status line, the chrome and
// its auto-hide in immersive mode, previous/next camera, and the snapshot saved to the user's
// Pictures folder. The live element that plays the stream writes liveStatus and liveText.
// GUI thread only.
class CameraLiveViewModel : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    // The camera's name; the first one set starts with the server's substream preference.
    Q_PROPERTY(QString cameraName READ cameraName WRITE setCameraName NOTIFY cameraChanged)
    Q_PROPERTY(QString friendlyName READ friendlyName NOTIFY cameraChanged)
    Q_PROPERTY(bool hasSubStream READ hasSubStream NOTIFY cameraChanged)
    Q_PROPERTY(bool useSub READ useSub WRITE setUseSub NOTIFY streamChanged)
    Q_PROPERTY(QString streamName READ streamName NOTIFY streamChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(int liveStatus READ liveStatus WRITE setLiveStatus NOTIFY liveStatusChanged)
    // While playing: "mse" or "mjpeg"; on error: the message.
    Q_PROPERTY(QString liveText READ liveText WRITE setLiveText NOTIFY liveStatusChanged)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY statusLineChanged)
    Q_PROPERTY(bool immersive READ immersive NOTIFY immersiveChanged)
    Q_PROPERTY(bool chromeVisible READ chromeVisible NOTIFY chromeVisibleChanged)
    // False while the statistics report the camera at 0 fps: the server would answer with its
    // stock error picture.
    Q_PROPERTY(bool canSaveSnapshot READ canSaveSnapshot NOTIFY canSaveSnapshotChanged)
    Q_PROPERTY(QString toast READ toast NOTIFY toastChanged)
    // The saved file the toast is about, empty otherwise.
    Q_PROPERTY(QString toastPath READ toastPath NOTIFY toastChanged)

public:
    enum LiveStatus { Loading, Playing, Error, Reconnecting };
    Q_ENUM(LiveStatus)

    explicit CameraLiveViewModel(QObject *parent = nullptr);
    ~CameraLiveViewModel() override;

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    QString cameraName() const { return m_camera; }
    void setCameraName(const QString &name);
    QString friendlyName() const;
    bool hasSubStream() const;
    bool useSub() const { return m_useSub && hasSubStream(); }
    void setUseSub(bool useSub);
    QString streamName() const;
    bool muted() const { return m_muted; }
    void setMuted(bool muted);
    int liveStatus() const { return m_status; }
    void setLiveStatus(int status);
    QString liveText() const { return m_liveText; }
    void setLiveText(const QString &text);
    QString statusLine() const;
    bool immersive() const { return m_immersive; }
    bool chromeVisible() const { return m_chromeVisible; }
    bool canSaveSnapshot() const;
    QString toast() const { return m_toast; }
    QString toastPath() const { return m_toastPath; }

    // Shows another camera; the shown one changes nothing.
    Q_INVOKABLE void select(const QString &name);
    // The camera `delta` places away in the camera list, wrapping at both ends.
    Q_INVOKABLE void step(int delta);
    Q_INVOKABLE void toggleMuted() { setMuted(!m_muted); }
    Q_INVOKABLE void toggleImmersive();
    // Leaves immersive mode; answers true when not immersive, where back leaves the screen.
    Q_INVOKABLE bool back();
    // The pointer moved or clicked over the video: the chrome comes back and hides again later.
    Q_INVOKABLE void showChrome();
    Q_INVOKABLE void saveSnapshot();
    Q_INVOKABLE void showToast(const QString &text, const QString &path = {});

    void classBegin() override { m_parsing = true; }
    void componentComplete() override;

signals:
    void appModelChanged();
    void cameraChanged();
    void streamChanged();
    void mutedChanged();
    void liveStatusChanged();
    void statusLineChanged();
    void immersiveChanged();
    void chromeVisibleChanged();
    void canSaveSnapshotChanged();
    void toastChanged();

protected:
    // The moment a snapshot's file name records; local time.
    virtual QDateTime snapshotTime() const { return QDateTime::currentDateTime(); }

private:
    std::optional<CameraInfo> camera() const;
    void showCamera(const QString &name, bool initial);
    void setImmersive(bool immersive);
    void setChromeVisible(bool visible);
    QCoro::Task<> saveSnapshotTask(QString camera);

    QPointer<AppModel> m_app;
    bool m_parsing = false;
    QString m_pendingCamera;
    QString m_camera;
    bool m_useSub = false;
    bool m_muted = true;
    int m_status = Loading;
    QString m_liveText;
    bool m_immersive = false;
    bool m_chromeVisible = true;
    QTimer m_hideTimer;
    bool m_saving = false;
    QString m_toast;
    QString m_toastPath;
    QTimer m_toastTimer;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
