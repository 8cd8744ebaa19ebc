#pragma once
#include "client/SecretStore.h"

namespace QKeychain {
class Job;
}

// Secrets in the desktop's Secret Service (gnome-keyring, KWallet) through QtKeychain. Jobs are
// awaited, never waited for in a nested event loop. A missing or refusing service turns the
// store unavailable; a later successful job makes it available again.
class KeychainSecretStore : public SecretStore
{
    Q_OBJECT
public:
    explicit KeychainSecretStore(QObject *parent = nullptr);

    static QString serviceName();

    QCoro::Task<std::optional<QString>> readSecret(QString account) override;
    QCoro::Task<> writeSecret(std::optional<QString> value, QString account) override;

private:
    struct Outcome
    {
        int error = 0; // QKeychain::Error
        QByteArray data;
    };
    // Nothing when the store was destroyed while the job ran.
    QCoro::Task<std::optional<Outcome>> run(QKeychain::Job *job);
    QCoro::Task<bool> deleteSecret(QString account);
    void noteOutcome(int error);
};
