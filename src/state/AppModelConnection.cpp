// Connecting to the current server, signing in, and leaving the signed-in state.
#include "state/AppModel.h"
#include "client/Logging.h"
#include "client/SecretStore.h"

namespace {
const QString MinimumVersion = QStringLiteral("0.14");
}

QCoro::Task<> AppModel::bootstrap()
{
    if (m_didBootstrap || m_isLoggedIn)
        co_return;
    m_didBootstrap = true;

    std::optional<ServerSettings> target;
    if (m_servers.autoConnect)
        target = m_servers.defaultServer();
    if (!target && m_servers.servers.size() == 1)
        target = m_servers.servers.first();
    if (!target)
        co_return;

    const auto life = m_life;
    const bool canConnect = co_await ::canConnectWithoutAsking(*target, *m_secrets);
    if (life->isStopped() || !canConnect)
        co_return;
    selectServer(*target);
    const std::optional<QString> noPassword;
    co_await connect(noPassword);
}

QCoro::Task<> AppModel::connect(std::optional<QString> password)
{
    const auto life = m_life;
    const QUuid id = m_settings.id;
    setIsConnecting(true);
    setLastError(std::nullopt);

    const bool found = co_await m_client->findServer();
    if (life->isStopped())
        co_return;
    syncAddressInUse();
    if (!found) {
        setConnectionMode(ConnectionMode::None);
        failConnect(m_client->certificateChanged()
                        ? tr("The server's HTTPS certificate has changed. If you replaced it yourself, edit the "
                             "server and save it again to accept the new certificate.")
                        : FrigateError::unreachable().message());
        co_return;
    }
    setConnectionMode(m_client->mode());

    const Status signedIn = co_await signInForConnect(std::move(password), id);
    if (life->isStopped())
        co_return;
    if (signedIn) {
        failConnect(*signedIn);
        co_return;
    }

    const auto version = co_await m_client->fetchVersion();
    if (life->isStopped())
        co_return;
    if (version && !FrigateClient::isSupportedVersion(*version)) {
        failConnect(tr("Frigate %1 is not supported: version %2 or later is required.").arg(*version, MinimumVersion));
        co_return;
    }

    auto config = co_await FrigateApi::loadConfig(*m_client);
    if (life->isStopped())
        co_return;
    if (!config) {
        failConnect(config.error());
        co_return;
    }
    setGroups(config.value().groups);
    setCameras(applyCameraOrder(config.value().cameras));
    setIsLoggedIn(true);
    startPolling();
    refreshAspects(false);
    setIsConnecting(false);
}

QCoro::Task<Status> AppModel::signInForConnect(std::optional<QString> password, QUuid id)
{
    if (m_settings.username.isEmpty()) {
        co_await m_client->dropToken();
        co_return std::nullopt;
    }
    if (password) {
        const QString typed = *password;
        const Status status = co_await m_client->signIn(typed);
        if (!status) {
            const QString account = StateKeys::passwordAccount(id);
            co_await m_secrets->writeSecret(password, account);
        }
        co_return status;
    }
    if (m_client->token())
        co_return std::nullopt;
    const auto life = m_life;
    const QString account = StateKeys::passwordAccount(id);
    const auto saved = co_await m_secrets->readSecret(account);
    if (!saved || life->isStopped())
        co_return std::nullopt;
    const QString savedPassword = *saved;
    const Status status = co_await m_client->signIn(savedPassword);
    co_return status;
}

void AppModel::failConnect(const FrigateError &error)
{
    if (error.isCancellation()) {
        setIsConnecting(false);
        return;
    }
    failConnect(error.message());
}

void AppModel::failConnect(const QString &message)
{
    qCInfo(lcState) << "connect failed:" << message;
    setLastError(message);
    setIsConnecting(false);
}

void AppModel::disconnect()
{
    cancelPolling();
    // A summary still in flight must not bring the badge back.
    ++m_unseenGeneration;
    setIsLoggedIn(false);
    setConnectionMode(ConnectionMode::None);
    setCameras({});
    setGroups({});
    setStats(std::nullopt);
    setUnseenCount(0);
    setStatusBadge(0);
}

QCoro::Task<> AppModel::refreshConnection()
{
    const auto life = m_life;
    const auto before = m_client->baseURL();
    co_await m_client->findServer();
    if (life->isStopped())
        co_return;
    setConnectionMode(m_client->mode());
    syncAddressInUse();
    if (m_client->baseURL() != before)
        bumpReviewRevision();
    // A disconnect while probing wins: polling belongs to the signed-in state.
    if (m_isLoggedIn)
        startPolling();
}
