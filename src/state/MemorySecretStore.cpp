#include "state/MemorySecretStore.h"

QCoro::Task<std::optional<QString>> MemorySecretStore::readSecret(QString account)
{
    if (m_serviceMissing) {
        setAvailable(false);
        co_return std::nullopt;
    }
    setAvailable(true);
    const auto found = m_secrets.constFind(account);
    if (found == m_secrets.constEnd())
        co_return std::nullopt;
    co_return *found;
}

QCoro::Task<> MemorySecretStore::writeSecret(std::optional<QString> value, QString account)
{
    if (m_serviceMissing) {
        setAvailable(false);
        co_return;
    }
    setAvailable(true);
    m_secrets.remove(account);
    if (value)
        m_secrets.insert(account, *value);
}

QStringList MemorySecretStore::accounts() const
{
    QStringList accounts = m_secrets.keys();
    accounts.sort();
    return accounts;
}
