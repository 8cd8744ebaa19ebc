#include "state/KeychainSecretStore.h"

#include <QPointer>
#include <QStringDecoder>
#include <QCoro/QCoroSignal>
#include <qt6keychain/keychain.h>

KeychainSecretStore::KeychainSecretStore(QObject *parent)
    : SecretStore(parent)
{
}

QString KeychainSecretStore::serviceName()
{
    return QStringLiteral("org.kestrova.Kestrova");
}

namespace {

// Errors that say the secret service itself is absent or refuses us, as opposed to an item
// that simply does not exist.
bool meansServiceUnusable(int error)
{
    switch (error) {
    case QKeychain::NoError:
    case QKeychain::EntryNotFound:
    case QKeychain::CouldNotDeleteEntry:
        return false;
    default:
        return true;
    }
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

void KeychainSecretStore::noteOutcome(int error)
{
    if (error == QKeychain::NoError)
        setAvailable(true);
    else if (meansServiceUnusable(error))
        setAvailable(false);
}

// The job deletes itself once its finished signal has been delivered, and the coroutine resumes
// inside that delivery: its results are taken here, before anything else is awaited.
QCoro::Task<std::optional<KeychainSecretStore::Outcome>> KeychainSecretStore::run(QKeychain::Job *job)
{
    QPointer<KeychainSecretStore> self(this);
    job->setAutoDelete(true);
    job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
    if (!self)
        co_return std::nullopt;
    Outcome outcome{job->error(), {}};
    if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job); read && outcome.error == QKeychain::NoError)
        outcome.data = read->binaryData();
    noteOutcome(outcome.error);
    co_return outcome;
}

QCoro::Task<std::optional<QString>> KeychainSecretStore::readSecret(QString account)
{
    auto *job = new QKeychain::ReadPasswordJob(serviceName());
    job->setKey(account);
    const std::optional<Outcome> outcome = co_await run(job);
    if (!outcome || outcome->error != QKeychain::NoError)
        co_return std::nullopt;
    co_return strictUtf8(outcome->data);
}

QCoro::Task<bool> KeychainSecretStore::deleteSecret(QString account)
{
    auto *job = new QKeychain::DeletePasswordJob(serviceName());
    job->setKey(account);
    const std::optional<Outcome> outcome = co_await run(job);
    co_return outcome && !meansServiceUnusable(outcome->error);
}

QCoro::Task<> KeychainSecretStore::writeSecret(std::optional<QString> value, QString account)
{
    // A service that could not delete will not store either.
    if (!co_await deleteSecret(account) || !value)
        co_return;
    auto *job = new QKeychain::WritePasswordJob(serviceName());
    job->setKey(account);
    job->setTextData(*value);
    co_await run(job);
}
