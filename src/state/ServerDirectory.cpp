#include "state/ServerDirectory.h"
#include "client/Logging.h"
#include "client/PreferencesStore.h"

ServerDirectory::ServerDirectory(PreferencesStore *preferences, SecretStore *secrets, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_secrets(secrets)
    , m_model(this)
{ }

QCoro::Task<> ServerDirectory::load()
{
    const ServerList loaded = co_await loadServerList(*m_preferences, *m_secrets);
    if (loaded == m_list)
        co_return;
    m_list = loaded;
    m_model.setList(m_list);
    emit changed();
}

Status ServerDirectory::setList(const ServerList &list)
{
    const Status saved = saveServerList(*m_preferences, list);
    noteSave(saved);
    if (list == m_list)
        return saved;
    m_list = list;
    m_model.setList(m_list);
    emit changed();
    return saved;
}

void ServerDirectory::noteSave(const Status &saved)
{
    std::optional<QString> error;
    if (saved) {
        qCWarning(lcState) << "server list not saved:" << saved->detail();
        error = tr("Could not save the server list: %1").arg(saved->detail());
    }
    if (error == m_saveError)
        return;
    m_saveError = std::move(error);
    emit saveErrorChanged();
}

Status ServerDirectory::upsert(const ServerSettings &server)
{
    ServerList list = m_list;
    list.upsert(server);
    return setList(list);
}

bool ServerDirectory::remove(const QUuid &id)
{
    if (!m_list.server(id))
        return false;
    for (const QString &name : StateKeys::serverPreferenceNames())
        m_preferences->remove(StateKeys::serverPreference(name, id));
    ServerList list = m_list;
    list.remove(id);
    setList(list);
    return true;
}

void ServerDirectory::setDefault(std::optional<QUuid> id)
{
    ServerList list = m_list;
    list.defaultID = id;
    setList(list);
}

void ServerDirectory::setAutoConnect(bool on)
{
    ServerList list = m_list;
    list.autoConnect = on;
    setList(list);
}

std::optional<ServerSettings> ServerDirectory::preferred() const
{
    if (auto server = m_list.defaultServer())
        return server;
    if (m_list.servers.isEmpty())
        return std::nullopt;
    return m_list.servers.first();
}

std::optional<ServerSettings> ServerDirectory::serverWithIdText(const QString &idText) const
{
    const auto id = uuidFromText(idText);
    return id ? m_list.server(*id) : std::nullopt;
}
