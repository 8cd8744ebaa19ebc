// The sequences that involve the connection and the other parts: launch, connect, sign-out.
#include "state/AppModel.h"

QCoro::Task<> AppModel::bootstrap()
{
    if (m_didBootstrap || isLoggedIn())
        co_return;
    m_didBootstrap = true;

    std::optional<ServerSettings> target;
    if (serverList().autoConnect)
        target = serverList().defaultServer();
    if (!target && serverList().servers.size() == 1)
        target = serverList().servers.first();
    if (target)
        co_await connectIfPossible(*target);
}

QCoro::Task<bool> AppModel::connectIfPossible(ServerSettings server)
{
    const auto life = m_life;
    const bool canConnect = co_await ::canConnectWithoutAsking(server, *m_secrets);
    if (life->isStopped() || !canConnect)
        co_return false;
    selectServer(server);
    const std::optional<QString> noPassword;
    co_await connect(noPassword);
    co_return true;
}

QCoro::Task<> AppModel::connect(std::optional<QString> password)
{
    const auto life = m_life;
    const auto config = co_await m_connection.connect(std::move(password));
    if (life->isStopped() || !config)
        co_return;
    m_catalog.setConfig(*config);
    m_polling.beginSession();
    m_health.reset();
    m_connection.completeSignIn();
    m_polling.startPolling();
    m_catalog.refreshAspects(false);
}

void AppModel::disconnect()
{
    m_polling.endSession();
    m_connection.signOut();
    m_catalog.clear();
    m_health.reset();
}

QCoro::Task<> AppModel::refreshConnection()
{
    const auto life = m_life;
    const auto addressChanged = co_await m_connection.reprobe();
    if (life->isStopped() || !addressChanged)
        co_return;
    if (*addressChanged)
        m_polling.bumpReviewRevision();
    // A disconnect while probing wins: polling belongs to the signed-in state.
    if (isLoggedIn())
        startPolling();
}

QCoro::Task<Status> AppModel::loadConfig()
{
    const auto life = m_life;
    const QUuid server = m_settings.id;
    auto config = co_await FrigateApi::loadConfig(*m_client);
    if (life->isStopped())
        co_return FrigateError::cancelled();
    // An answer from the server before a switch or a sign-out must not become this one's cameras.
    if (m_settings.id != server || !isLoggedIn())
        co_return FrigateError::cancelled();
    if (!config)
        co_return config.error();
    m_catalog.setConfig(config.value());
    co_return std::nullopt;
}
