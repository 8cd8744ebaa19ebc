#pragma once
#include "client/SecretStore.h"

#include <chrono>

namespace QKeychain {
class Job;
}

// Secrets in the desktop's Secret Service (gnome-keyring, KWallet) through QtKeychain. Jobs are
// awaited, never waited for in a nested event loop. A missing or refusing service, or one that
// does not answer within the job timeout (a locked keyring waiting on an unlock prompt nobody
// sees), turns the store unavailable; a later successful job makes it available again. A failed
// read or write never removes what is stored.
class KeychainSecretStore : public SecretStore
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultJobTimeout{10000};

    explicit KeychainSecretStore(QObject *parent = nullptr);

    static QString serviceName();
    // How long a job is awaited before it counts as failed; the job itself runs on unheeded.
    void setJobTimeout(std::chrono::milliseconds timeout) { m_jobTimeout = timeout; }

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
    void noteOutcome(int error);

    std::chrono::milliseconds m_jobTimeout = DefaultJobTimeout;
};
