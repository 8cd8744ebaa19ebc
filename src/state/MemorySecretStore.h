#pragma once
#include "client/SecretStore.h"

#include <QHash>

// Secrets held in memory. setServiceMissing(true) makes it act as a keyring that is not there:
// reads give nothing, writes keep nothing, and the store turns unavailable on first use.
class MemorySecretStore : public SecretStore
{
    Q_OBJECT
public:
    using SecretStore::SecretStore;

    QCoro::Task<std::optional<QString>> readSecret(QString account) override;
    QCoro::Task<> writeSecret(std::optional<QString> value, QString account) override;

    void setServiceMissing(bool missing) { m_serviceMissing = missing; }
    QStringList accounts() const;

private:
    QHash<QString, QString> m_secrets;
    bool m_serviceMissing = false;
};
