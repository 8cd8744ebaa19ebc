// The stored server list (and the single server of the first releases). What decodes must be
// saved and read back as the same list, or a restart would change the user's servers.
#include "FuzzSupport.h"
#include "state/ServerList.h"

#include <QJsonDocument>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stored = Fuzz::bytes(data, size);
    const QJsonDocument document = QJsonDocument::fromJson(stored);
    if (document.isObject())
        ServerSettings::fromJson(document.object());
    const std::optional<ServerList> list = ServerList::decode(stored);
    if (!list)
        return 0;
    list->defaultServer();
    const std::optional<QByteArray> saved = list->encode();
    if (saved && ServerList::decode(*saved) != list)
        std::abort();
    return 0;
}
