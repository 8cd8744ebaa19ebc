// The connection's health while signed in: what feeds it, and the banner's actions.
#include "state/AppModel.h"
#include "client/ServerTrust.h"

#include <QDateTime>

void AppModel::watchHealth()
{
    QObject::connect(&m_polling, &BadgePolling::statsAnswered, this, [this] {
        m_health.noteAnswer(QDateTime::currentDateTime());
    });
    QObject::connect(&m_polling, &BadgePolling::statsFailed, this, [this](const FrigateError &error) {
        m_health.notePollFailure(error, certificateMismatch());
    });
    // Requests made while signing in tell the login form, not the banner.
    QObject::connect(m_client, &FrigateClient::requestFailed, this, [this](const FrigateError &error) {
        if (isLoggedIn())
            m_health.noteRequestFailure(error, certificateMismatch());
    });
}

std::optional<CertificateMismatch> AppModel::certificateMismatch() const
{
    const auto mismatch = m_trust->mismatch();
    const auto base = m_client->baseURL();
    if (!mismatch || !base || mismatch->host.compare(base->host(), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return mismatch;
}

QCoro::Task<> AppModel::retryConnection()
{
    if (!isLoggedIn())
        co_return;
    // Cleared by the pass that follows the probe, or by a sign-out.
    m_health.setChecking(true);
    co_await refreshConnection();
}

QCoro::Task<> AppModel::trustOfferedCertificate()
{
    const auto mismatch = m_health.mismatch();
    if (!isLoggedIn() || !mismatch)
        co_return;
    // Saving the server forgets the pins of both its addresses and the connections that trusted them.
    saveServer(m_settings);
    // The one the user compared, not whatever the next handshake shows.
    m_trust->pin(mismatch->host, mismatch->port, mismatch->offered);
    co_await retryConnection();
}

void AppModel::signInAgain()
{
    if (!isLoggedIn())
        return;
    requestSignInForm(m_settings.idText());
    disconnect();
}

void AppModel::requestSignInForm(const QString &idText)
{
    m_signInRequest = idText;
    emit signInRequestChanged();
}

void AppModel::clearSignInRequest()
{
    if (m_signInRequest.isEmpty())
        return;
    m_signInRequest.clear();
    emit signInRequestChanged();
}
