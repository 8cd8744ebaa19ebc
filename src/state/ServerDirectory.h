#pragma once
#include "state/ServerList.h"
#include "state/ServerListModel.h"

#include <QObject>
#include <QCoro/QCoroTask>
#include <optional>

class PreferencesStore;
class SecretStore;

// The stored server list and its edits: every change is saved at once and reaches the picker's
// list model as row changes.
class ServerDirectory : public QObject
{
    Q_OBJECT
public:
    ServerDirectory(PreferencesStore *preferences, SecretStore *secrets, QObject *parent = nullptr);

    const ServerList &list() const { return m_list; }
    ServerListModel *model() { return &m_model; }

    // Loads the stored list, migrating an older store once.
    QCoro::Task<> load();
    // Saves the list even when unchanged; observers hear only of changes. A list that could not
    // be saved is still used for this session, and saveError says so until a save succeeds.
    Status setList(const ServerList &list);
    Status upsert(const ServerSettings &server);
    // Drops the server and its per-server preferences; false when it is not listed.
    bool remove(const QUuid &id);
    void setDefault(std::optional<QUuid> id);
    void setAutoConnect(bool on);

    // The default server, else the first one.
    std::optional<ServerSettings> preferred() const;
    std::optional<ServerSettings> serverWithIdText(const QString &idText) const;

    // "Could not save the server list: <reason>" after a failed save; nothing after a good one.
    std::optional<QString> saveError() const { return m_saveError; }

signals:
    void changed();
    void saveErrorChanged();

private:
    PreferencesStore *m_preferences;
    SecretStore *m_secrets;
    void noteSave(const Status &saved);

    ServerList m_list;
    ServerListModel m_model;
    std::optional<QString> m_saveError;
};
