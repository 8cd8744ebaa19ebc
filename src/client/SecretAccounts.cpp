#include "client/SecretAccounts.h"
#include "client/UuidText.h"

namespace SecretAccounts {

QString passwordAccount(const QUuid &id)
{
    return QStringLiteral("password.") + uuidText(id);
}

QString tokenAccount(const QUuid &id)
{
    return QStringLiteral("token.") + uuidText(id);
}

} // namespace SecretAccounts
