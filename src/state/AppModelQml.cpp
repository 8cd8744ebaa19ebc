// What the QML screens call: ids as text, forms as maps, answers as QML tasks.
#include "state/AppModel.h"
#include "client/SecretStore.h"

namespace {
// The login and settings forms send an empty password when none was typed.
std::optional<QString> typedPassword(const QVariantMap &fields)
{
    const QString password = fields.value(QStringLiteral("password")).toString();
    return password.isEmpty() ? std::nullopt : std::optional<QString>(password);
}
} // namespace

QCoro::QmlTask AppModel::connect(const QString &password)
{
    return connect(typedPassword({{QStringLiteral("password"), password}}));
}

ServerSettings AppModel::serverForFields(const QVariantMap &fields) const
{
    const auto id = uuidFromText(fields.value(QStringLiteral("id")).toString());
    if (!id)
        return ServerSettings();
    if (const auto stored = serverList().server(*id))
        return *stored;
    ServerSettings server;
    server.id = *id;
    return server;
}

ServerSettings AppModel::withFields(ServerSettings server, const QVariantMap &fields)
{
    const auto text = [&fields](const char *key, const QString &fallback) {
        const QString name = QString::fromLatin1(key);
        return fields.contains(name) ? fields.value(name).toString().trimmed() : fallback;
    };
    server.serverName = text("serverName", server.serverName);
    server.internalURL = text("internalURL", server.internalURL);
    server.externalURL = text("externalURL", server.externalURL);
    server.username = text("username", server.username);
    if (fields.contains(QStringLiteral("gridRefreshSeconds")))
        server.gridRefreshSeconds = fields.value(QStringLiteral("gridRefreshSeconds")).toDouble();
    if (fields.contains(QStringLiteral("liveUsesSubstream")))
        server.liveUsesSubstream = fields.value(QStringLiteral("liveUsesSubstream")).toBool();
    if (fields.contains(QStringLiteral("showDetections")))
        server.showDetections = fields.value(QStringLiteral("showDetections")).toBool();
    return server;
}

// Secrets of the old account must not sign in the new one, neither from the store nor from
// the token the client already holds.
QCoro::Task<> AppModel::forgetSecretsIfUserChanged(ServerSettings server)
{
    const auto stored = server.id == m_settings.id ? std::optional(m_settings) : serverList().server(server.id);
    if (!stored || stored->username == server.username)
        co_return;
    const auto life = m_life;
    if (server.id == m_client->settings().id) {
        // The session cookie would sign the old account in just as well as the token.
        m_client->clearCookies();
        co_await m_client->dropToken();
    }
    if (life->isStopped())
        co_return;
    co_await m_client->forgetCredentials(server.id);
}

QCoro::Task<QString> AppModel::saveServerFields(QVariantMap fields)
{
    const auto life = m_life;
    const ServerSettings server = withFields(serverForFields(fields), fields);
    co_await forgetSecretsIfUserChanged(server);
    if (life->isStopped())
        co_return QString();
    saveServer(server);
    co_return server.idText();
}

QCoro::QmlTask AppModel::saveServer(const QVariantMap &fields)
{
    return saveServerFields(fields);
}

QCoro::Task<QVariantMap> AppModel::saveServerAndConnectFields(QVariantMap fields)
{
    const auto life = m_life;
    const QString idText = co_await saveServerFields(fields);
    if (life->isStopped())
        co_return QVariantMap();
    if (const auto server = m_servers.serverWithIdText(idText))
        selectServer(*server);
    const std::optional<QString> typed = typedPassword(fields);
    co_await connect(typed);
    if (life->isStopped())
        co_return QVariantMap();
    notePasswordKept(typed.has_value());
    // Signed in or not, a server or a password that was not stored must not pass in silence.
    const QString error = isLoggedIn() ? storageError().value_or(QString()) : lastErrorText();
    co_return QVariantMap{{QStringLiteral("id"), idText}, {QStringLiteral("error"), error}};
}

QCoro::QmlTask AppModel::saveServerAndConnect(const QVariantMap &fields)
{
    return saveServerAndConnectFields(fields);
}

QCoro::Task<bool> AppModel::connectToServerWithIdText(QString idText)
{
    const auto server = m_servers.serverWithIdText(idText);
    if (!server)
        co_return false;
    co_return co_await connectIfPossible(*server);
}

QCoro::Task<> AppModel::openServerWithIdText(QString idText)
{
    const auto life = m_life;
    if (co_await connectToServerWithIdText(idText) || life->isStopped())
        co_return;
    const auto server = m_servers.serverWithIdText(idText);
    if (!server)
        co_return;
    selectServer(*server);
    requestSignInForm(idText);
}

QCoro::QmlTask AppModel::connectToServer(const QString &idText)
{
    return connectToServerWithIdText(idText);
}

QCoro::Task<> AppModel::deleteServerWithIdText(QString idText)
{
    if (const auto id = uuidFromText(idText))
        co_await deleteServer(*id);
}

QCoro::QmlTask AppModel::deleteServer(const QString &idText)
{
    return deleteServerWithIdText(idText);
}

void AppModel::setDefaultServer(const QString &idText)
{
    setDefaultServer(uuidFromText(idText));
}

QCoro::Task<bool> AppModel::hasSavedPasswordFor(QString idText)
{
    const auto id = uuidFromText(idText);
    if (!id)
        co_return false;
    const QString account = StateKeys::passwordAccount(*id);
    const auto saved = co_await m_secrets->readSecret(account);
    co_return saved.has_value();
}

QCoro::QmlTask AppModel::hasSavedPassword(const QString &idText)
{
    return hasSavedPasswordFor(idText);
}

void AppModel::applyDisplayPreferences(double gridRefreshSeconds, bool liveUsesSubstream, bool showDetections)
{
    ServerSettings updated = m_settings;
    updated.gridRefreshSeconds = gridRefreshSeconds;
    updated.liveUsesSubstream = liveUsesSubstream;
    updated.showDetections = showDetections;
    const bool detectionsChanged = showDetections != m_settings.showDetections;
    setSettings(updated);
    if (detectionsChanged)
        refreshUnseenThenReload();
}

QCoro::Task<> AppModel::refreshUnseenThenReload()
{
    const auto life = m_life;
    co_await refreshUnseenCount();
    if (life->isStopped())
        co_return;
    m_polling.bumpReviewRevision();
}

QCoro::Task<bool> AppModel::saveSettingsAndReconnectFields(QVariantMap fields)
{
    const auto life = m_life;
    const ServerSettings updated = withFields(m_settings, fields);
    co_await forgetSecretsIfUserChanged(updated);
    if (life->isStopped())
        co_return false;
    setSettings(updated);
    const std::optional<QString> typed = typedPassword(fields);
    co_await connect(typed);
    if (life->isStopped())
        co_return false;
    notePasswordKept(typed.has_value());
    co_return isLoggedIn();
}

QCoro::QmlTask AppModel::saveSettingsAndReconnect(const QVariantMap &fields)
{
    return saveSettingsAndReconnectFields(fields);
}

void AppModel::handleApplicationState(int state)
{
    switch (Qt::ApplicationState(state)) {
    case Qt::ApplicationActive:
        m_inBackground = false;
        if (isLoggedIn())
            refreshConnection();
        return;
    case Qt::ApplicationSuspended:
    case Qt::ApplicationHidden:
        m_inBackground = true;
        pollInBackground();
        return;
    case Qt::ApplicationInactive:
        return;
    }
}

void AppModel::pollInBackground()
{
    if (notifyAlerts() && isLoggedIn())
        m_polling.startBackgroundPolling();
    else
        cancelPolling();
}
