#pragma once
#include "client/ConnectionMode.h"
#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "client/WireRecords.h"
#include "state/BadgePolling.h"
#include "state/CameraCatalog.h"
#include "state/ConnectionHealth.h"
#include "state/PollingClock.h"
#include "state/ServerConnection.h"
#include "state/ServerDirectory.h"
#include "state/ServerSettings.h"

#include <QMap>
#include <QObject>
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

// The one observable state of the application, as QML and the view-models see it. The work is
// done by four parts: the server list (ServerDirectory), the connection and its sign-in
// (ServerConnection), the polling and badges (BadgePolling), the cameras with their order and
// aspect ratios (CameraCatalog). The model owns the current settings and the client, and runs
// the sequences that involve several parts (select, save, delete, connect). GUI thread only.
//
// Start-up: main creates the process instance (setInstance) before loading QML, awaits
// initialize() (loading the list may migrate secrets, which is asynchronous), and once the
// root view is shown runs bootstrap(). QML reaches the instance as the singleton `AppModel`.
class AppModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(ServerListModel *servers READ serverModel CONSTANT)
    Q_PROPERTY(QString defaultID READ defaultIDText NOTIFY serversChanged)
    Q_PROPERTY(bool autoConnect READ autoConnect WRITE setAutoConnect NOTIFY serversChanged)
    Q_PROPERTY(ServerSettings settings READ settings NOTIFY settingsChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY isLoggedInChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(QString connectionMode READ connectionModeText NOTIFY connectionModeChanged)
    Q_PROPERTY(QString connectionModeName READ connectionModeName NOTIFY connectionModeChanged)
    Q_PROPERTY(QString addressInUse READ addressInUse NOTIFY addressInUseChanged)
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    Q_PROPERTY(CameraListModel *cameras READ cameraModel CONSTANT)
    Q_PROPERTY(GroupListModel *groups READ groupModel CONSTANT)
    Q_PROPERTY(QVariantMap stats READ statsValue NOTIFY statsChanged)
    Q_PROPERTY(bool hasStats READ hasStats NOTIFY statsChanged)
    Q_PROPERTY(int unseenCount READ unseenCount NOTIFY unseenCountChanged)
    Q_PROPERTY(int statusBadge READ statusBadge NOTIFY statusBadgeChanged)
    Q_PROPERTY(int reviewRevision READ reviewRevision NOTIFY reviewRevisionChanged)
    Q_PROPERTY(QVariantMap aspects READ aspectValues NOTIFY aspectsChanged)
    // False once the password keyring was found missing: passwords then last for the session only.
    Q_PROPERTY(bool secretStoreAvailable READ secretStoreAvailable NOTIFY secretStoreAvailableChanged)
    // Object and motion boxes over recordings, one choice for every player; stored.
    Q_PROPERTY(bool showBoxes READ showBoxes WRITE setShowBoxes NOTIFY showBoxesChanged)
    // Whether the signed-in server still answers; what the banner over the tabs tells.
    Q_PROPERTY(ConnectionHealth *health READ health CONSTANT)
    // The id text of the server whose sign-in form should open, set by signInAgain and
    // openServerWithIdText; else empty.
    Q_PROPERTY(QString signInRequest READ signInRequest NOTIFY signInRequestChanged)
    // Desktop notifications of new alerts, which keep the unseen count polled while every window
    // is in the background; stored, on unless turned off.
    Q_PROPERTY(bool notifyAlerts READ notifyAlerts WRITE setNotifyAlerts NOTIFY notifyAlertsChanged)

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
    const ServerList &serverList() const { return m_servers.list(); }
    // The connection mode in the user's language ("Local network"), and the base URL in use as
    // text (empty while no server answers).
    QString connectionModeName() const;
    QString addressInUse() const { return m_connection.addressInUse(); }
    const ServerSettings &settings() const { return m_settings; }
    FrigateClient *client() const { return m_client; }
    ServerTrust *trust() const { return m_trust; }
    bool isLoggedIn() const { return m_connection.isLoggedIn(); }
    bool isConnecting() const { return m_connection.isConnecting(); }
    ConnectionMode connectionMode() const { return m_connection.mode(); }
    // The connection's failure, after what could not be stored (the server list, a password).
    std::optional<QString> lastError() const;
    const QList<CameraInfo> &cameras() const { return m_catalog.cameras(); }
    const QList<CameraGroup> &groups() const { return m_catalog.groups(); }
    const std::optional<StatsSnapshot> &stats() const { return m_polling.stats(); }
    int unseenCount() const { return m_polling.unseenCount(); }
    int statusBadge() const { return m_polling.statusBadge(); }
    int reviewRevision() const { return m_polling.reviewRevision(); }
    const QMap<QString, double> &aspects() const { return m_catalog.aspects(); }
    bool isPolling() const { return m_polling.isPolling(); }
    bool showBoxes() const;
    void setShowBoxes(bool on);
    bool notifyAlerts() const;
    void setNotifyAlerts(bool on);
    ServerListModel *serverModel() { return m_servers.model(); }
    CameraListModel *cameraModel() { return m_catalog.cameraModel(); }
    GroupListModel *groupModel() { return m_catalog.groupModel(); }
    ConnectionHealth *health() { return &m_health; }
    QString signInRequest() const { return m_signInRequest; }

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
    // Reads the configuration again while signed in: the groups, then the cameras in the stored
    // order. A failure changes nothing.
    QCoro::Task<Status> loadConfig();
    // Probes the addresses again and polls at once; the health follows the outcome.
    QCoro::Task<> retryConnection();
    // Pins the certificate the server offered in place of the pinned one, as the health reports
    // it, and connects to it again.
    QCoro::Task<> trustOfferedCertificate();

    void startPolling() { m_polling.startPolling(); }
    void cancelPolling() { m_polling.cancelPolling(); }
    QCoro::Task<> refreshStats() { return m_polling.refreshStats(); }
    // bypassCache asks the server for a fresh summary instead of its few-seconds cache.
    QCoro::Task<> refreshUnseenCount(bool bypassCache = false) { return m_polling.refreshUnseenCount(bypassCache); }
    QCoro::Task<> refreshLogBadge() { return m_polling.refreshLogBadge(); }
    Q_INVOKABLE void markLogsSeen() { m_polling.markLogsSeen(); }
    // The window should come forward: another launch of the app asked, or a notification was
    // clicked.
    void requestRaise() { emit raiseRequested(); }
    // Forward, on the alerts tab, playing the review `reviewId`.
    void requestAlertOpen(const QString &reviewId);

    QCoro::Task<QList<LogLine>> fetchLogs(QString service, int tail);
    QCoro::Task<Result<QList<ReviewItem>>> fetchReviews(FrigateApi::ReviewQuery query);
    QCoro::Task<> markReviewed(QStringList ids, bool reviewed) { return m_polling.markReviewed(ids, reviewed); }
    QCoro::Task<> markAllReviewed();
    QCoro::Task<QList<TrackedObject>> fetchTrackedObjects(ReviewItem item);
    QCoro::Task<> refreshAspects(bool force) { return m_catalog.refreshAspects(force); }

    std::optional<CameraInfo> cameraNamed(const QString &name) const { return m_catalog.cameraNamed(name); }
    void setCameraOrder(const QList<CameraInfo> &cameras) { m_catalog.setCameraOrder(cameras); }
    QList<CameraInfo> applyCameraOrder(QList<CameraInfo> cameras) const { return m_catalog.applyCameraOrder(cameras); }

    // saveServer from the login form's fields; see the QML entry point of the same name.
    QCoro::Task<QString> saveServerFields(QVariantMap fields);
    // The login form's Connect; see the QML entry point of the same name.
    QCoro::Task<QVariantMap> saveServerAndConnectFields(QVariantMap fields);
    // A picker row's tap; see the QML entry point of the same name.
    QCoro::Task<bool> connectToServerWithIdText(QString idText);
    // What --server asks for: connects to that server, or opens its sign-in form when it needs a
    // password typed.
    QCoro::Task<> openServerWithIdText(QString idText);
    // The settings screen's "Save and reconnect"; see the QML entry point of the same name.
    QCoro::Task<bool> saveSettingsAndReconnectFields(QVariantMap fields);

    // --- QML entry points ---
    // Connects the current server; an empty password means none was typed. Resolves when done.
    Q_INVOKABLE QCoro::QmlTask connect(const QString &password);
    // Adds or updates a server from the login form's fields (id absent for a new server;
    // serverName, internalURL, externalURL, username; optionally the display preferences).
    // A changed user name drops the server's saved password and token. Resolves to the id text.
    Q_INVOKABLE QCoro::QmlTask saveServer(const QVariantMap &fields);
    // The login form's Connect: saves the server from `fields`, makes it current and connects
    // with fields.password (empty: none typed). Resolves to { id: the server's id text,
    // error: the failure's message, empty once signed in and saved }.
    Q_INVOKABLE QCoro::QmlTask saveServerAndConnect(const QVariantMap &fields);
    // A picker row's tap: a server that can connect without asking is made current and
    // connected. Resolves to false, doing nothing, when it needs a password first.
    Q_INVOKABLE QCoro::QmlTask connectToServer(const QString &idText);
    Q_INVOKABLE QCoro::QmlTask deleteServer(const QString &idText);
    // An empty text clears the default.
    Q_INVOKABLE void setDefaultServer(const QString &idText);
    Q_INVOKABLE QCoro::QmlTask hasSavedPassword(const QString &idText);
    // The settings screen's immediate preferences; a change of showDetections refreshes the
    // unseen count and then reloads review lists.
    Q_INVOKABLE void applyDisplayPreferences(double gridRefreshSeconds, bool liveUsesSubstream, bool showDetections);
    // The settings screen's "Save and reconnect": the connection fields of `fields` become the
    // current settings, then connect with fields.password. Resolves to whether signed in.
    Q_INVOKABLE QCoro::QmlTask saveSettingsAndReconnect(const QVariantMap &fields);
    Q_INVOKABLE void setCameraOrder(const QStringList &names) { m_catalog.setCameraOrder(names); }
    // Qt::ApplicationState as QML reports it (Qt.application.state).
    Q_INVOKABLE void handleApplicationState(int state);
    // The banner's actions: see retryConnection and trustOfferedCertificate.
    Q_INVOKABLE void retry() { retryConnection(); }
    Q_INVOKABLE void trustNewCertificate() { trustOfferedCertificate(); }
    // Leaves the signed-in state asking for this server's sign-in form (signInRequest).
    Q_INVOKABLE void signInAgain();
    Q_INVOKABLE void clearSignInRequest();

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
    void showBoxesChanged();
    void signInRequestChanged();
    void notifyAlertsChanged();
    void raiseRequested();
    void alertOpenRequested(const QString &reviewId);
    // A polling pass read the unseen count, in front or in the background.
    void unseenPolled();

private:
    // Asks the picker to open this server's sign-in form (signInRequest).
    void requestSignInForm(const QString &idText);
    QString defaultIDText() const { return serverList().defaultIDText(); }
    bool autoConnect() const { return serverList().autoConnect; }
    QString connectionModeText() const;
    QString lastErrorText() const { return lastError().value_or(QString()); }
    QVariantMap statsValue() const;
    bool hasStats() const { return stats().has_value(); }
    QVariantMap aspectValues() const { return m_catalog.aspectValues(); }
    bool secretStoreAvailable() const;
    void forwardSignals();
    void watchHealth();
    // The certificate last refused for the address in use, if any.
    std::optional<CertificateMismatch> certificateMismatch() const;
    // While every window is in the background only notifications need polling.
    void pollInBackground();

    // Makes `server` current and connects it when it needs no password typed; false otherwise.
    QCoro::Task<bool> connectIfPossible(ServerSettings server);
    // The listed server named by fields.id, a new one with that id, or a new one.
    ServerSettings serverForFields(const QVariantMap &fields) const;
    static ServerSettings withFields(ServerSettings server, const QVariantMap &fields);
    QCoro::Task<> forgetSecretsIfUserChanged(ServerSettings server);
    QCoro::Task<> refreshUnseenThenReload();
    QCoro::Task<bool> hasSavedPasswordFor(QString idText);
    QCoro::Task<> deleteServerWithIdText(QString idText);
    // What did not reach the disk or the keyring, one message a line; nothing when all did.
    std::optional<QString> storageError() const;
    // After a sign-in: a typed password the keyring did not take is said until the next one.
    void notePasswordKept(bool typed);

    PreferencesStore *m_preferences;
    SecretStore *m_secrets;
    std::unique_ptr<ServerTrust> m_ownTrust;
    ServerTrust *m_trust;
    std::unique_ptr<PollingClock> m_ownClock;
    PollingClock *m_clock;
    // Stopped when the model is destroyed: every coroutine of the model checks it after resuming.
    std::shared_ptr<StopToken> m_life;

    ServerSettings m_settings;
    FrigateClient *m_client;
    ServerDirectory m_servers;
    ServerConnection m_connection;
    BadgePolling m_polling;
    CameraCatalog m_catalog;
    ConnectionHealth m_health;
    QString m_signInRequest;
    bool m_didBootstrap = false;
    std::optional<QString> m_passwordNotKept;
    bool m_inBackground = false;
};
