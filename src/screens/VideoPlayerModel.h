#pragma once
#include "playback/PlaybackItem.h"
#include "playback/PlayerController.h"
#include "playback/RecordingTimeline.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <optional>

class AppModel;

// The recording player screen: plays a PlayerRequest item by item on its PlayerController, maps
// the media time to the wall clock through the item's recording files, runs the review side
// effects (tracks of the current review, mark seen once), the time jump, snapshots and clips to
// the user's folders, the toast and the auto-hide of the controls. GUI thread only.
class VideoPlayerModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(PlayerRequest request READ request WRITE setRequest NOTIFY requestChanged)
    // Beside a list: the controls never hide.
    Q_PROPERTY(bool inPane READ inPane WRITE setInPane NOTIFY inPaneChanged)
    Q_PROPERTY(PlayerController *controller READ controller CONSTANT)
    Q_PROPERTY(int index READ index NOTIFY requestChanged)
    Q_PROPERTY(int count READ count NOTIFY requestChanged)
    Q_PROPERTY(QString title READ title NOTIFY requestChanged)
    Q_PROPERTY(bool hasReview READ hasReview NOTIFY requestChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(QString positionText READ positionText NOTIFY positionChanged)
    Q_PROPERTY(QString totalText READ totalText NOTIFY positionChanged)
    // The wall-clock moment of the picture shown (seconds since 1970) and as text.
    Q_PROPERTY(double shownWallTime READ shownWallTime NOTIFY positionChanged)
    Q_PROPERTY(QString momentText READ momentText NOTIFY positionChanged)
    Q_PROPERTY(bool scrubbing READ scrubbing NOTIFY positionChanged)
    Q_PROPERTY(QString rateLabel READ rateLabel NOTIFY rateLabelChanged)
    Q_PROPERTY(QString toast READ toast NOTIFY toastChanged)
    // The file the toast is about (a saved snapshot or clip), empty otherwise.
    Q_PROPERTY(QString toastPath READ toastPath NOTIFY toastChanged)
    Q_PROPERTY(bool downloading READ downloading NOTIFY downloadingChanged)
    Q_PROPERTY(QVariant tracks READ tracks NOTIFY tracksChanged)
    Q_PROPERTY(bool controlsVisible READ controlsVisible NOTIFY controlsVisibleChanged)

public:
    explicit VideoPlayerModel(QObject *parent = nullptr);
    ~VideoPlayerModel() override;

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    const PlayerRequest &request() const { return m_request; }
    void setRequest(const PlayerRequest &request);
    bool inPane() const { return m_inPane; }
    void setInPane(bool inPane);
    PlayerController *controller() { return &m_controller; }
    int index() const { return m_request.index; }
    int count() const { return int(m_request.items.size()); }
    QString title() const;
    bool hasReview() const;
    double position() const;
    QString positionText() const;
    QString totalText() const;
    double shownWallTime() const;
    QString momentText() const;
    bool scrubbing() const { return m_scrub.has_value(); }
    QString rateLabel() const;
    QString toast() const { return m_toast; }
    QString toastPath() const { return m_toastPath; }
    bool downloading() const { return m_downloading; }
    QVariant tracks() const;
    bool controlsVisible() const { return m_controlsVisible; }
    const RecordingTimeline &timeline() const { return m_timeline; }

    // The screen appeared / went away.
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void retry() { loadCurrent(); }
    Q_INVOKABLE void step(int delta);
    Q_INVOKABLE void skip(double seconds);
    Q_INVOKABLE void scrub(double position);
    Q_INVOKABLE void endScrub(double position);
    // [hour, minute, second] of the moment shown, for the time-jump sheet.
    Q_INVOKABLE QVariantList timeOfDayShown() const;
    // Jumps to that time of the current item's day (local calendar).
    Q_INVOKABLE void jumpToTimeOfDay(int secondsSinceMidnight);
    Q_INVOKABLE void saveSnapshot();
    Q_INVOKABLE void downloadClip();
    Q_INVOKABLE void markUnseen();
    // Pauses and answers a new request at the position shown, for a full-screen player.
    Q_INVOKABLE PlayerRequest fullScreenRequest();
    // The pointer moved or a key was pressed: the controls come back and hide again later.
    Q_INVOKABLE void showControls();
    Q_INVOKABLE void showToast(const QString &text, const QString &path = {});

signals:
    void appModelChanged();
    void requestChanged();
    void inPaneChanged();
    void positionChanged();
    void rateLabelChanged();
    void toastChanged();
    void downloadingChanged();
    void tracksChanged();
    void controlsVisibleChanged();
    // After every change of the current item, with its index.
    void indexReported(int index);

private:
    const PlaybackItem *currentItem() const;
    void loadCurrent();
    QCoro::Task<> loadItem(quint64 generation, std::optional<double> wallTarget);
    QCoro::Task<QList<RecordingSegment>> fetchSegments(PlaybackItem item);
    void seekToWall(double wall);
    void announceLanding(double wall);
    void applyReviewSideEffects();
    QCoro::Task<> fetchTracks(ReviewItem review);
    QCoro::Task<> saveSnapshotTask(SharedFrame picture, QString name);
    QCoro::Task<> downloadClipTask(QString path, QString name);
    QCoro::Task<> markUnseenTask(QString id);
    void scheduleHide();
    void setControlsVisible(bool visible);
    void onPlayingChanged();
    void onFinished();

    QPointer<AppModel> m_app;
    PlayerRequest m_request;
    bool m_inPane = false;
    bool m_active = false;
    PlayerController m_controller;
    RecordingTimeline m_timeline;
    QList<RecordingSegment> m_segments;
    // A time-jump target in another item, applied once that item's recordings are known.
    std::optional<double> m_jumpTarget;
    quint64 m_generation = 0;
    std::optional<double> m_scrub;
    QString m_toast;
    QString m_toastPath;
    QTimer m_toastTimer;
    bool m_downloading = false;
    QList<TrackedObject> m_tracks;
    bool m_controlsVisible = true;
    QTimer m_hideTimer;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
