#pragma once
#include "client/ConnectionMode.h"
#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "client/WireRecords.h"
#include "state/PollingClock.h"
#include "state/ServerList.h"
#include "state/ServerSettings.h"

#include <QMap>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroQmlTask>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class PreferencesStore;
class QJSEngine;
class QQmlEngine;
class SecretStore;
class ServerTrust;

// The one observable state of the application: the configured servers, the current server and
// its client, the connection state, what was loaded from the server, the two badges and the
// polling loop. Lives on the GUI thread for the whole run.
//
// Start-up: main creates the process instance (setInstance) before loading QML, awaits
// initialize() (loading the list may migrate secrets, which is asynchronous), and once the
// root view is shown runs bootstrap(). QML reaches the instance as the singleton `AppModel`.
class AppModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(QVariantList servers READ serverValues NOTIFY serversChanged)
    Q_PROPERTY(QString defaultID READ defaultIDText NOTIFY serversChanged)
    Q_PROPERTY(bool autoConnect READ autoConnect WRITE setAutoConnect NOTIFY serversChanged)
    Q_PROPERTY(ServerSettings settings READ settings NOTIFY settingsChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY isLoggedInChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(QString connectionMode READ connectionModeText NOTIFY connectionModeChanged)
    Q_PROPERTY(QString connectionModeName READ connectionModeName NOTIFY connectionModeChanged)
    Q_PROPERTY(QString addressInUse READ addressInUse NOTIFY addressInUseChanged)
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    Q_PROPERTY(QVariantList cameras READ cameraValues NOTIFY camerasChanged)
    Q_PROPERTY(QVariantList groups READ groupValues NOTIFY groupsChanged)
    Q_PROPERTY(QVariantMap stats READ statsValue NOTIFY statsChanged)
    Q_PROPERTY(bool hasStats READ hasStats NOTIFY statsChanged)
    Q_PROPERTY(int unseenCount READ unseenCount NOTIFY unseenCountChanged)
    Q_PROPERTY(int statusBadge READ statusBadge NOTIFY statusBadgeChanged)
    Q_PROPERTY(int reviewRevision READ reviewRevision NOTIFY reviewRevisionChanged)
    Q_PROPERTY(QVariantMap aspects READ aspectValues NOTIFY aspectsChanged)
    // False once the password keyring was found missing: passwords then last for the session only.
    Q_PROPERTY(bool secretStoreAvailable READ secretStoreAvailable NOTIFY secretStoreAvailableChanged)

public:
    // The stores and the trust store must outlive the model. Without a clock the model waits
    // on system timers; without a trust store it keeps its own over `preferences`.
    AppModel(PreferencesStore *preferences, SecretStore *secrets, ServerTrust *trust = nullptr,
             PollingClock *clock = nullptr, QObject *parent = nullptr);
    ~AppModel() override;

    static void setInstance(AppModel *model);
    static AppModel *instance();
    static AppModel *create(QQmlEngine *, QJSEngine *);

    // Loads the server list and makes its default (else first, else a blank) server current.
    // Run once, before bootstrap.
    QCoro::Task<> initialize();

    // --- State, for C++ view-models ---
    const ServerList &serverList() const { return m_servers; }
    const ServerSettings &settings() const { return m_settings; }
    FrigateClient *client() const { return m_client; }
    ServerTrust *trust() const { return m_trust; }
    bool isLoggedIn() const { return m_isLoggedIn; }
    bool isConnecting() const { return m_isConnecting; }
    ConnectionMode connectionMode() const { return m_connectionMode; }
    std::optional<QString> lastError() const { return m_lastError; }
    const QList<CameraInfo> &cameras() const { return m_cameras; }
    const QList<CameraGroup> &groups() const { return m_groups; }
    const std::optional<StatsSnapshot> &stats() const { return m_stats; }
    int unseenCount() const { return m_unseenCount; }
    int statusBadge() const { return m_statusBadge; }
    int reviewRevision() const { return m_reviewRevision; }
    const QMap<QString, double> &aspects() const { return m_aspects; }
    bool isPolling() const { return m_pollStop != nullptr; }

    // --- Operations ---
    QCoro::Task<> bootstrap();
    QCoro::Task<> connect(std::optional<QString> password);
    Q_INVOKABLE void disconnect();
    void selectServer(const ServerSettings &server);
    void saveServer(const ServerSettings &server);
    QCoro::Task<> deleteServer(QUuid id);
    void setDefaultServer(std::optional<QUuid> id);
    void setAutoConnect(bool on);
    // Makes `settings` current: the client takes them and the stored list follows.
    void setSettings(const ServerSettings &settings);
    QCoro::Task<> refreshConnection();

    void startPolling();
    void cancelPolling();
    QCoro::Task<> refreshStats();
    // bypassCache asks the server for a fresh summary instead of its few-seconds cache.
    QCoro::Task<> refreshUnseenCount(bool bypassCache = false);
    QCoro::Task<> refreshLogBadge();
    Q_INVOKABLE void markLogsSeen();

    QCoro::Task<QList<LogLine>> fetchLogs(QString service, int tail);
    QCoro::Task<Result<QList<ReviewItem>>> fetchReviews(FrigateApi::ReviewQuery query);
    QCoro::Task<> markReviewed(QStringList ids, bool reviewed);
    QCoro::Task<> markAllReviewed();
    QCoro::Task<QList<TrackedObject>> fetchTrackedObjects(ReviewItem item);
    QCoro::Task<> refreshAspects(bool force);

    std::optional<CameraInfo> cameraNamed(const QString &name) const;
    void setCameraOrder(const QList<CameraInfo> &cameras);
    QList<CameraInfo> applyCameraOrder(QList<CameraInfo> cameras) const;
    // The ordering rule: stored order first, then uiOrder, then friendly name.
    static QList<CameraInfo> sortedCameras(QList<CameraInfo> cameras, const QStringList &order);

    // saveServer from the login form's fields; see the QML entry point of the same name.
    QCoro::Task<QString> saveServerFields(QVariantMap fields);
    // The login form's Connect; resolves to whether the model is signed in afterwards.
    QCoro::Task<bool> saveServerAndConnectFields(QVariantMap fields);

    // --- QML entry points ---
    // Connects the current server; an empty password means none was typed. Resolves when done.
    Q_INVOKABLE QCoro::QmlTask connect(const QString &password);
    Q_INVOKABLE void selectServer(const QString &idText);
    // Adds or updates a server from the login form's fields (id absent for a new server;
    // serverName, internalURL, externalURL, username; optionally the display preferences).
    // A changed user name drops the server's saved password and token. Resolves to the id text.
    Q_INVOKABLE QCoro::QmlTask saveServer(const QVariantMap &fields);
    // The login form's Connect: saveServer(fields), select it, connect with fields.password.
    // Resolves to whether the model is signed in afterwards.
    Q_INVOKABLE QCoro::QmlTask saveServerAndConnect(const QVariantMap &fields);
    Q_INVOKABLE QCoro::QmlTask deleteServer(const QString &idText);
    // An empty text clears the default.
    Q_INVOKABLE void setDefaultServer(const QString &idText);
    Q_INVOKABLE QCoro::QmlTask canConnectWithoutAsking(const QString &idText);
    Q_INVOKABLE QCoro::QmlTask hasSavedPassword(const QString &idText);
    // The settings screen's immediate preferences; a change of showDetections refreshes the
    // unseen count and then reloads review lists.
    Q_INVOKABLE void applyDisplayPreferences(double gridRefreshSeconds, bool liveUsesSubstream, bool showDetections);
    // The settings screen's "Save and reconnect": the connection fields of `fields` become the
    // current settings, then connect with fields.password. Resolves to whether signed in.
    Q_INVOKABLE QCoro::QmlTask saveSettingsAndReconnect(const QVariantMap &fields);
    Q_INVOKABLE void setCameraOrder(const QStringList &names);
    // Qt::ApplicationState as QML reports it (Qt.application.state).
    Q_INVOKABLE void handleApplicationState(int state);

signals:
    void serversChanged();
    void settingsChanged();
    void isLoggedInChanged();
    void isConnectingChanged();
    void connectionModeChanged();
    void addressInUseChanged();
    void lastErrorChanged();
    void camerasChanged();
    void groupsChanged();
    void statsChanged();
    void unseenCountChanged();
    void statusBadgeChanged();
    void reviewRevisionChanged();
    void aspectsChanged();
    void secretStoreAvailableChanged();

private:
    QVariantList serverValues() const { return m_servers.serverValues(); }
    QString defaultIDText() const { return m_servers.defaultIDText(); }
    bool autoConnect() const { return m_servers.autoConnect; }
    QString connectionModeText() const;
    QString connectionModeName() const;
    QString addressInUse() const { return m_addressInUse; }
    QString lastErrorText() const { return m_lastError.value_or(QString()); }
    QVariantList cameraValues() const;
    QVariantList groupValues() const;
    QVariantMap statsValue() const;
    bool hasStats() const { return m_stats.has_value(); }
    QVariantMap aspectValues() const;
    bool secretStoreAvailable() const;

    void setServers(const ServerList &servers);
    void setIsLoggedIn(bool value);
    void setIsConnecting(bool value);
    void setConnectionMode(ConnectionMode mode);
    void syncAddressInUse();
    void setLastError(std::optional<QString> error);
    void setCameras(const QList<CameraInfo> &cameras);
    void setGroups(const QList<CameraGroup> &groups);
    void setStats(std::optional<StatsSnapshot> stats);
    void setUnseenCount(int count);
    void setStatusBadge(int count);
    void bumpReviewRevision();
    void setAspects(const QMap<QString, double> &aspects);

    QCoro::Task<Status> signInForConnect(std::optional<QString> password, QUuid id);
    void failConnect(const FrigateError &error);
    void failConnect(const QString &message);

    QCoro::Task<> pollLoop(std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollStats(std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollUnseenCount(bool bypassCache, std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollLogBadge(std::shared_ptr<StopToken> stop);
    QCoro::Task<> refetchUnseenAfterMarking();

    QMap<QString, double> storedAspects(const QUuid &id) const;
    QStringList storedCameraOrder(const QUuid &id) const;
    double logSeenMarker(const QUuid &id) const;

    std::optional<ServerSettings> serverWithIdText(const QString &idText) const;
    // The listed server named by fields.id, a new one with that id, or a new one.
    ServerSettings serverForFields(const QVariantMap &fields) const;
    static ServerSettings withFields(ServerSettings server, const QVariantMap &fields);
    QCoro::Task<> forgetSecretsIfUserChanged(ServerSettings server);
    QCoro::Task<bool> saveSettingsAndReconnectFields(QVariantMap fields);
    QCoro::Task<> refreshUnseenThenReload();
    QCoro::Task<bool> hasSavedPasswordFor(QString idText);
    QCoro::Task<> deleteServerWithIdText(QString idText);

    PreferencesStore *m_preferences;
    SecretStore *m_secrets;
    std::unique_ptr<ServerTrust> m_ownTrust;
    ServerTrust *m_trust;
    std::unique_ptr<PollingClock> m_ownClock;
    PollingClock *m_clock;
    // Stopped when the model is destroyed: every coroutine of the model checks it after resuming.
    std::shared_ptr<StopToken> m_life;

    ServerList m_servers;
    ServerSettings m_settings;
    FrigateClient *m_client;
    bool m_isLoggedIn = false;
    bool m_isConnecting = false;
    ConnectionMode m_connectionMode = ConnectionMode::None;
    QString m_addressInUse;
    std::optional<QString> m_lastError;
    QList<CameraInfo> m_cameras;
    QList<CameraGroup> m_groups;
    std::optional<StatsSnapshot> m_stats;
    int m_unseenCount = 0;
    int m_statusBadge = 0;
    int m_reviewRevision = 0;
    QMap<QString, double> m_aspects;
    std::shared_ptr<StopToken> m_pollStop;
    qint64 m_tick = 0;
    bool m_didBootstrap = false;
    qint64 m_unseenGeneration = 0;
};
