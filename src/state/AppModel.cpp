#include "state/AppModel.h"
#include "client/ServerTrust.h"
#include "client/PreferencesStore.h"
#include "state/RecordValues.h"
#include "client/SecretStore.h"

#include <QJSEngine>
#include <QNetworkAccessManager>
#include <QPointer>

namespace {
QPointer<AppModel> &processInstance()
{
    static QPointer<AppModel> instance;
    return instance;
}

template<typename T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

AppModel::AppModel(PreferencesStore *preferences, SecretStore *secrets, ServerTrust *trust, PollingClock *clock,
                   QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_secrets(secrets)
    , m_ownTrust(trust ? nullptr : std::make_unique<ServerTrust>(preferences))
    , m_trust(trust ? trust : m_ownTrust.get())
    , m_ownClock(clock ? nullptr : std::make_unique<SystemPollingClock>())
    , m_clock(clock ? clock : m_ownClock.get())
    , m_life(std::make_shared<StopToken>())
    , m_client(new FrigateClient(m_settings.access(), secrets, m_trust, this))
{
    QObject::connect(m_secrets, &SecretStore::availableChanged, this, &AppModel::secretStoreAvailableChanged);
}

AppModel::~AppModel()
{
    m_life->stop();
    cancelPolling();
    // Requests still running resume with a cancellation and find the model gone.
    m_client->cancelAll();
}

void AppModel::setInstance(AppModel *model)
{
    processInstance() = model;
}

AppModel *AppModel::instance()
{
    return processInstance();
}

AppModel *AppModel::create(QQmlEngine *, QJSEngine *)
{
    AppModel *model = processInstance();
    Q_ASSERT_X(model, "AppModel::create", "the process instance must be set before QML is loaded");
    QJSEngine::setObjectOwnership(model, QJSEngine::CppOwnership);
    return model;
}

QCoro::Task<> AppModel::initialize()
{
    const auto life = m_life;
    ServerList list = co_await loadServerList(*m_preferences, *m_secrets);
    if (life->isStopped())
        co_return;
    const bool listChanged = assign(m_servers, list);

    ServerSettings current;
    if (auto server = m_servers.defaultServer())
        current = *server;
    else if (!m_servers.servers.isEmpty())
        current = m_servers.servers.first();
    m_settings = current;
    m_client->setUp(current.access());
    syncAddressInUse();
    setAspects(storedAspects(current.id));
    if (listChanged)
        emit serversChanged();
    emit settingsChanged();
}

// --- Published fields ---

QString AppModel::connectionModeText() const
{
    return connectionModeRawValue(m_connectionMode);
}

QString AppModel::connectionModeName() const
{
    return connectionModeDisplayName(m_connectionMode);
}

QVariantList AppModel::cameraValues() const
{
    return ::cameraValues(m_cameras);
}

QVariantList AppModel::groupValues() const
{
    return ::groupValues(m_groups);
}

QVariantMap AppModel::statsValue() const
{
    return m_stats ? ::statsValue(*m_stats) : QVariantMap();
}

QVariantMap AppModel::aspectValues() const
{
    QVariantMap values;
    for (auto it = m_aspects.begin(); it != m_aspects.end(); ++it)
        values.insert(it.key(), it.value());
    return values;
}

bool AppModel::secretStoreAvailable() const
{
    return m_secrets->isAvailable();
}

// Every assignment is saved, changed or not; observers hear only of changes.
void AppModel::setServers(const ServerList &servers)
{
    const bool changed = assign(m_servers, servers);
    saveServerList(*m_preferences, m_servers);
    if (changed)
        emit serversChanged();
}

void AppModel::setIsLoggedIn(bool value)
{
    if (assign(m_isLoggedIn, value))
        emit isLoggedInChanged();
}

void AppModel::setIsConnecting(bool value)
{
    if (assign(m_isConnecting, value))
        emit isConnectingChanged();
}

void AppModel::setConnectionMode(ConnectionMode mode)
{
    if (assign(m_connectionMode, mode))
        emit connectionModeChanged();
}

void AppModel::syncAddressInUse()
{
    const auto base = m_client->baseURL();
    if (assign(m_addressInUse, base ? base->toString() : QString()))
        emit addressInUseChanged();
}

void AppModel::setLastError(std::optional<QString> error)
{
    if (assign(m_lastError, error))
        emit lastErrorChanged();
}

void AppModel::setCameras(const QList<CameraInfo> &cameras)
{
    if (assign(m_cameras, cameras))
        emit camerasChanged();
}

void AppModel::setGroups(const QList<CameraGroup> &groups)
{
    if (assign(m_groups, groups))
        emit groupsChanged();
}

void AppModel::setStats(std::optional<StatsSnapshot> stats)
{
    if (assign(m_stats, stats))
        emit statsChanged();
}

void AppModel::setUnseenCount(int count)
{
    if (assign(m_unseenCount, count))
        emit unseenCountChanged();
}

void AppModel::setStatusBadge(int count)
{
    if (assign(m_statusBadge, count))
        emit statusBadgeChanged();
}

void AppModel::bumpReviewRevision()
{
    ++m_reviewRevision;
    emit reviewRevisionChanged();
}

void AppModel::setAspects(const QMap<QString, double> &aspects)
{
    if (assign(m_aspects, aspects))
        emit aspectsChanged();
}
// --- Servers ---

void AppModel::setSettings(const ServerSettings &settings)
{
    if (settings.id == m_client->settings().id) {
        m_client->updateSettings(settings.access());
        m_trust->setServerURLs({settings.internalURL, settings.externalURL});
    } else {
        m_client->setUp(settings.access());
        syncAddressInUse();
    }
    if (assign(m_settings, settings))
        emit settingsChanged();

    const auto stored = m_servers.server(settings.id);
    if (stored && *stored != settings) {
        ServerList list = m_servers;
        list.upsert(settings);
        setServers(list);
    }
}

void AppModel::selectServer(const ServerSettings &server)
{
    if (m_isLoggedIn)
        disconnect();
    setLastError(std::nullopt);
    setSettings(server);
    setAspects(storedAspects(server.id));
}

void AppModel::saveServer(const ServerSettings &server)
{
    bool forgotPin = false;
    for (const QString &address : {server.internalURL, server.externalURL}) {
        const auto url = FrigateClient::normalizeURL(address);
        if (!url || url->host().isEmpty())
            continue;
        m_trust->forgetHost(url->host());
        forgotPin = true;
    }
    // Connections kept alive would go on trusting the certificate that was just forgotten.
    if (forgotPin)
        m_client->network()->clearConnectionCache();

    ServerList list = m_servers;
    list.upsert(server);
    setServers(list);
    if (server.id == m_settings.id)
        setSettings(server);
}

QCoro::Task<> AppModel::deleteServer(QUuid id)
{
    if (!m_servers.server(id))
        co_return;
    const bool wasCurrent = id == m_settings.id;
    if (wasCurrent && m_isLoggedIn)
        disconnect();

    for (const QString &name : StateKeys::serverPreferenceNames())
        m_preferences->remove(StateKeys::serverPreference(name, id));
    ServerList list = m_servers;
    list.remove(id);
    setServers(list);

    const auto life = m_life;
    if (wasCurrent) {
        std::optional<ServerSettings> next = m_servers.defaultServer();
        if (!next && !m_servers.servers.isEmpty())
            next = m_servers.servers.first();
        if (next)
            selectServer(*next);
        else
            co_await m_client->dropToken(); // the client still points at it: forget the token it holds
    }
    if (life->isStopped())
        co_return;
    co_await m_client->forgetCredentials(id);
}

void AppModel::setDefaultServer(std::optional<QUuid> id)
{
    ServerList list = m_servers;
    list.defaultID = id;
    setServers(list);
}

void AppModel::setAutoConnect(bool on)
{
    ServerList list = m_servers;
    list.autoConnect = on;
    setServers(list);
}
