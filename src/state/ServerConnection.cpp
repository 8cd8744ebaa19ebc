#include "state/ServerConnection.h"
#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "state/PollingClock.h"
#include "client/SecretStore.h"
#include "state/ServerList.h"

namespace {
const QString MinimumVersion = QStringLiteral("0.14");
}

ServerConnection::ServerConnection(SecretStore *secrets, FrigateClient *client, QObject *parent)
    : QObject(parent)
    , m_secrets(secrets)
    , m_client(client)
    , m_attempt(std::make_shared<StopToken>())
{ }

ServerConnection::~ServerConnection()
{
    m_attempt->stop();
}

std::shared_ptr<StopToken> ServerConnection::beginAttempt()
{
    m_attempt->stop();
    m_attempt = std::make_shared<StopToken>();
    return m_attempt;
}

void ServerConnection::abandon()
{
    beginAttempt();
    setIsConnecting(false);
}

QCoro::Task<std::optional<FrigateApi::ServerConfig>> ServerConnection::connect(std::optional<QString> password)
{
    const auto attempt = beginAttempt();
    setIsConnecting(true);
    setLastError(std::nullopt);

    const bool found = co_await m_client->findServer();
    if (attempt->isStopped())
        co_return std::nullopt;
    syncAddressInUse();
    if (!found) {
        setMode(ConnectionMode::None);
        fail(m_client->certificateChanged()
                 ? tr("The server's HTTPS certificate has changed. If you replaced it yourself, edit the "
                      "server and save it again to accept the new certificate.")
                 : FrigateError::unreachable().message());
        co_return std::nullopt;
    }
    setMode(m_client->mode());

    const Status signedIn = co_await signIn(std::move(password), attempt);
    if (attempt->isStopped())
        co_return std::nullopt;
    if (signedIn) {
        fail(*signedIn);
        co_return std::nullopt;
    }

    const auto version = co_await m_client->fetchVersion();
    if (attempt->isStopped())
        co_return std::nullopt;
    if (version && !FrigateClient::isSupportedVersion(*version)) {
        fail(tr("Frigate %1 is not supported: version %2 or later is required.").arg(*version, MinimumVersion));
        co_return std::nullopt;
    }

    auto config = co_await FrigateApi::loadConfig(*m_client);
    if (attempt->isStopped())
        co_return std::nullopt;
    if (!config) {
        fail(config.error());
        co_return std::nullopt;
    }
    co_return std::move(config).value();
}

// A password that signed in is saved under the id of the server it was typed for.
QCoro::Task<Status> ServerConnection::signIn(std::optional<QString> password, std::shared_ptr<StopToken> attempt)
{
    const ServerAccess server = m_client->settings();
    if (server.username.isEmpty()) {
        co_await m_client->dropToken();
        co_return std::nullopt;
    }
    const QString account = StateKeys::passwordAccount(server.id);
    if (password) {
        const QString typed = *password;
        const Status status = co_await m_client->signIn(typed);
        if (!status && !attempt->isStopped())
            co_await m_secrets->writeSecret(password, account);
        co_return status;
    }
    if (m_client->token())
        co_return std::nullopt;
    const auto saved = co_await m_secrets->readSecret(account);
    if (!saved || attempt->isStopped())
        co_return std::nullopt;
    const QString savedPassword = *saved;
    const Status status = co_await m_client->signIn(savedPassword);
    co_return status;
}

void ServerConnection::completeSignIn()
{
    if (!m_isLoggedIn) {
        m_isLoggedIn = true;
        emit isLoggedInChanged();
    }
    setIsConnecting(false);
}

void ServerConnection::fail(const FrigateError &error)
{
    if (error.isCancellation()) {
        setIsConnecting(false);
        return;
    }
    fail(error.message());
}

void ServerConnection::fail(const QString &message)
{
    qCInfo(lcState) << "connect failed:" << message;
    setLastError(message);
    setIsConnecting(false);
}

void ServerConnection::signOut()
{
    abandon();
    if (m_isLoggedIn) {
        m_isLoggedIn = false;
        emit isLoggedInChanged();
    }
    setMode(ConnectionMode::None);
}

QCoro::Task<std::optional<bool>> ServerConnection::reprobe()
{
    const auto attempt = m_attempt;
    const auto before = m_client->baseURL();
    co_await m_client->findServer();
    if (attempt->isStopped())
        co_return std::nullopt;
    setMode(m_client->mode());
    syncAddressInUse();
    co_return m_client->baseURL() != before;
}

void ServerConnection::syncAddressInUse()
{
    const auto base = m_client->baseURL();
    const QString address = base ? base->toString() : QString();
    if (m_addressInUse == address)
        return;
    m_addressInUse = address;
    emit addressInUseChanged();
}

void ServerConnection::setIsConnecting(bool value)
{
    if (m_isConnecting == value)
        return;
    m_isConnecting = value;
    emit isConnectingChanged();
}

void ServerConnection::setMode(ConnectionMode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    emit modeChanged();
}

void ServerConnection::setLastError(std::optional<QString> error)
{
    if (m_lastError == error)
        return;
    m_lastError = std::move(error);
    emit lastErrorChanged();
}
