#include "state/KeychainSecretStore.h"
#include "client/Logging.h"

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
// inside that delivery: its results are taken here, before anything else is awaited. A job that
// times out is left to finish (and delete itself) on its own.
QCoro::Task<std::optional<KeychainSecretStore::Outcome>> KeychainSecretStore::run(QKeychain::Job *job)
{
    QPointer<KeychainSecretStore> self(this);
    job->setAutoDelete(true);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, m_jobTimeout);
    if (!self)
        co_return std::nullopt;
    if (!finished) {
        qCWarning(lcState) << "keyring did not answer within" << m_jobTimeout.count() << "ms";
        noteOutcome(QKeychain::OtherError);
        co_return Outcome{QKeychain::OtherError, {}};
    }
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

// A new value replaces the item in one job: deleting it first would lose the old value to a
// write that then fails.
QCoro::Task<> KeychainSecretStore::writeSecret(std::optional<QString> value, QString account)
{
    if (!value) {
        auto *job = new QKeychain::DeletePasswordJob(serviceName());
        job->setKey(account);
        co_await run(job);
        co_return;
    }
    auto *job = new QKeychain::WritePasswordJob(serviceName());
    job->setKey(account);
    job->setTextData(*value);
    co_await run(job);
}
