#pragma once
#include "state/RecordListModel.h"
#include "state/ServerList.h"

#include <QtQml/qqmlregistration.h>

// One row of the server picker: the server and whether it is the list's default.
struct ServerEntry
{
    ServerSettings server;
    bool isDefault = false;

    bool operator==(const ServerEntry &) const = default;
};

// The configured servers in list order. Roles: server (the ServerSettings), idText,
// displayName, username, isDefault.
class ServerListModel : public MapRecordListModel<ServerEntry>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    explicit ServerListModel(QObject *parent = nullptr);
    void setList(const ServerList &list);

protected:
    QString keyOf(const ServerEntry &entry) const override { return entry.server.idText(); }
    QVariantMap valueOf(const ServerEntry &entry) const override;
};
