#include "state/ServerListModel.h"

ServerListModel::ServerListModel(QObject *parent)
    : MapRecordListModel<ServerEntry>({"server", "idText", "displayName", "username", "isDefault"}, parent)
{ }

void ServerListModel::setList(const ServerList &list)
{
    QList<ServerEntry> entries;
    for (const ServerSettings &server : list.servers)
        entries.append({server, list.defaultID == server.id});
    setRecords(entries);
}

QVariantMap ServerListModel::valueOf(const ServerEntry &entry) const
{
    return {
        {QStringLiteral("server"), QVariant::fromValue(entry.server)},
        {QStringLiteral("idText"), entry.server.idText()},
        {QStringLiteral("displayName"), entry.server.displayName()},
        {QStringLiteral("username"), entry.server.username},
        {QStringLiteral("isDefault"), entry.isDefault},
    };
}
