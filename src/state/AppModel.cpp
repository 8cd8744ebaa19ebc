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
    , m_servers(preferences, secrets)
    , m_connection(secrets, m_client)
    , m_polling(preferences, m_client, m_clock)
    , m_catalog(preferences, m_client)
{
    forwardSignals();
    watchHealth();
}

AppModel::~AppModel()
{
    m_life->stop();
    m_polling.cancelPolling();
    // Requests still running resume with a cancellation and find the model gone.
    m_client->cancelAll();
}

void AppModel::forwardSignals()
{
    QObject::connect(m_secrets, &SecretStore::availableChanged, this, &AppModel::secretStoreAvailableChanged);
    QObject::connect(&m_servers, &ServerDirectory::changed, this, &AppModel::serversChanged);
    QObject::connect(&m_connection, &ServerConnection::isLoggedInChanged, this, &AppModel::isLoggedInChanged);
    QObject::connect(&m_connection, &ServerConnection::isConnectingChanged, this, &AppModel::isConnectingChanged);
    QObject::connect(&m_connection, &ServerConnection::modeChanged, this, &AppModel::connectionModeChanged);
    QObject::connect(&m_connection, &ServerConnection::addressInUseChanged, this, &AppModel::addressInUseChanged);
    QObject::connect(&m_connection, &ServerConnection::lastErrorChanged, this, &AppModel::lastErrorChanged);
    QObject::connect(&m_servers, &ServerDirectory::saveErrorChanged, this, &AppModel::lastErrorChanged);
    QObject::connect(&m_polling, &BadgePolling::statsChanged, this, &AppModel::statsChanged);
    QObject::connect(&m_polling, &BadgePolling::unseenCountChanged, this, &AppModel::unseenCountChanged);
    QObject::connect(&m_polling, &BadgePolling::statusBadgeChanged, this, &AppModel::statusBadgeChanged);
    QObject::connect(&m_polling, &BadgePolling::reviewRevisionChanged, this, &AppModel::reviewRevisionChanged);
    QObject::connect(&m_polling, &BadgePolling::unseenPolled, this, &AppModel::unseenPolled);
    QObject::connect(&m_catalog, &CameraCatalog::camerasChanged, this, &AppModel::camerasChanged);
    QObject::connect(&m_catalog, &CameraCatalog::groupsChanged, this, &AppModel::groupsChanged);
    QObject::connect(&m_catalog, &CameraCatalog::aspectsChanged, this, &AppModel::aspectsChanged);
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
    co_await m_servers.load();
    if (life->isStopped())
        co_return;
    m_settings = m_servers.preferred().value_or(ServerSettings());
    m_client->setUp(m_settings.access());
    m_connection.syncAddressInUse();
    m_catalog.loadAspects(m_settings.id);
    emit settingsChanged();
}

QString AppModel::connectionModeText() const
{
    return connectionModeRawValue(connectionMode());
}

QString AppModel::connectionModeName() const
{
    return connectionModeDisplayName(connectionMode());
}

namespace {
std::optional<QString> joinedLines(std::initializer_list<std::optional<QString>> parts)
{
    QStringList lines;
    for (const std::optional<QString> &part : parts) {
        if (part)
            lines.append(*part);
    }
    return lines.isEmpty() ? std::nullopt : std::optional(lines.join(u'\n'));
}
} // namespace

std::optional<QString> AppModel::storageError() const
{
    return joinedLines({m_servers.saveError(), m_passwordNotKept});
}

std::optional<QString> AppModel::lastError() const
{
    return joinedLines({storageError(), m_connection.lastError()});
}

void AppModel::notePasswordKept(bool typed)
{
    if (!typed || !isLoggedIn())
        return;
    std::optional<QString> notice;
    if (!m_secrets->isAvailable())
        notice = tr("Signed in, but the password could not be saved in the keyring: it will be asked for again.");
    if (notice == m_passwordNotKept)
        return;
    m_passwordNotKept = std::move(notice);
    emit lastErrorChanged();
}

QVariantMap AppModel::statsValue() const
{
    return stats() ? ::statsValue(*stats()) : QVariantMap();
}

bool AppModel::secretStoreAvailable() const
{
    return m_secrets->isAvailable();
}

namespace {
const QString ShowBoxesKey = QStringLiteral("Kestrova.showBoxes");
const QString NotifyAlertsKey = QStringLiteral("Kestrova.notifyAlerts");

// The app's switches are on until the user turns them off.
bool switchIsOn(const PreferencesStore &preferences, const QString &key)
{
    const QVariant stored = preferences.value(key);
    return stored.isValid() ? stored.toBool() : true;
}

// False when the switch already stood that way, so nothing changed.
bool storeSwitch(PreferencesStore &preferences, const QString &key, bool on)
{
    if (on == switchIsOn(preferences, key))
        return false;
    preferences.setValue(key, on);
    return true;
}
}

bool AppModel::showBoxes() const
{
    return switchIsOn(*m_preferences, ShowBoxesKey);
}

void AppModel::setShowBoxes(bool on)
{
    if (storeSwitch(*m_preferences, ShowBoxesKey, on))
        emit showBoxesChanged();
}

bool AppModel::notifyAlerts() const
{
    return switchIsOn(*m_preferences, NotifyAlertsKey);
}

void AppModel::setNotifyAlerts(bool on)
{
    if (!storeSwitch(*m_preferences, NotifyAlertsKey, on))
        return;
    emit notifyAlertsChanged();
    if (m_inBackground)
        pollInBackground();
}

void AppModel::requestAlertOpen(const QString &reviewId)
{
    emit raiseRequested();
    emit alertOpenRequested(reviewId);
}

// --- Servers ---

void AppModel::setSettings(const ServerSettings &settings)
{
    if (settings.id == m_client->settings().id) {
        m_client->updateSettings(settings.access());
        m_trust->setServerURLs({settings.internalURL, settings.externalURL});
    } else {
        m_client->setUp(settings.access());
        m_connection.syncAddressInUse();
    }
    if (m_settings != settings) {
        m_settings = settings;
        emit settingsChanged();
    }
    const auto stored = serverList().server(settings.id);
    if (stored && *stored != settings)
        m_servers.upsert(settings);
}

void AppModel::selectServer(const ServerSettings &server)
{
    if (isLoggedIn())
        disconnect();
    m_connection.abandon();
    m_connection.clearError();
    setSettings(server);
    m_catalog.loadAspects(server.id);
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

    m_servers.upsert(server);
    if (server.id == m_settings.id)
        setSettings(server);
}

QCoro::Task<> AppModel::deleteServer(QUuid id)
{
    if (!serverList().server(id))
        co_return;
    const bool wasCurrent = id == m_settings.id;
    if (wasCurrent && isLoggedIn())
        disconnect();
    if (wasCurrent)
        m_connection.abandon();
    m_servers.remove(id);

    const auto life = m_life;
    if (wasCurrent) {
        if (const auto next = m_servers.preferred())
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
    m_servers.setDefault(id);
}

void AppModel::setAutoConnect(bool on)
{
    m_servers.setAutoConnect(on);
}
