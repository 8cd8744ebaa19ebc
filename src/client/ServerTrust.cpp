#include "client/ServerTrust.h"
#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "client/PreferencesStore.h"

#include <QCryptographicHash>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QSslConfiguration>

ServerTrust::ServerTrust(PreferencesStore *preferences)
    : m_preferences(preferences)
{
}

void ServerTrust::setServerURLs(const QStringList &addresses)
{
    QSet<QString> hosts;
    for (const QString &address : addresses) {
        const auto url = FrigateClient::normalizeURL(address);
        if (url && !url->host().isEmpty())
            hosts.insert(url->host().toLower());
    }
    QMutexLocker locker(&m_lock);
    m_hosts = hosts;
}

void ServerTrust::forgetHost(const QString &host)
{
    const QString prefix = QStringLiteral("trust.") + host.toLower() + QLatin1Char(':');
    const QStringList keys = m_preferences->keys();
    for (const QString &key : keys) {
        if (key.startsWith(prefix))
            m_preferences->remove(key);
    }
}

QString ServerTrust::fingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(QCryptographicHash::hash(certificate.toDer(), QCryptographicHash::Sha256).toHex());
}

QString ServerTrust::pinKey(const QString &host, int port)
{
    return QStringLiteral("trust.%1:%2").arg(host.toLower()).arg(port);
}

ServerTrust::Decision ServerTrust::evaluate(const QString &host, int port, const QList<QSslCertificate> &chain)
{
    {
        QMutexLocker locker(&m_lock);
        if (!m_hosts.contains(host.toLower()))
            return Decision::DefaultHandling;
    }
    if (chain.isEmpty() || chain.first().isNull())
        return Decision::DefaultHandling;

    const QString seen = fingerprint(chain.first());
    const QString key = pinKey(host, port);
    const QVariant pinned = m_preferences->value(key);
    if (!pinned.isValid()) {
        qCInfo(lcTrust) << "pinning certificate of" << host << port;
        m_preferences->setValue(key, seen);
        return Decision::Accept;
    }
    QMutexLocker locker(&m_lock);
    if (pinned.toString() == seen) {
        if (m_mismatch && m_mismatch->host.compare(host, Qt::CaseInsensitive) == 0 && m_mismatch->port == port)
            m_mismatch.reset();
        return Decision::Accept;
    }

    qCWarning(lcTrust) << "certificate of" << host << port << "no longer matches its pin";
    m_mismatch = CertificateMismatch{host, port, pinned.toString(), seen};
    return Decision::Reject;
}

void ServerTrust::handleSslErrors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    const QUrl url = reply->url();
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    if (evaluate(url.host(), port, chain) == Decision::Accept)
        reply->ignoreSslErrors(errors);
}

std::optional<CertificateMismatch> ServerTrust::mismatch() const
{
    QMutexLocker locker(&m_lock);
    return m_mismatch;
}

std::optional<QString> ServerTrust::mismatchHost() const
{
    QMutexLocker locker(&m_lock);
    return m_mismatch ? std::optional(m_mismatch->host) : std::nullopt;
}

void ServerTrust::clearMismatchHost()
{
    QMutexLocker locker(&m_lock);
    m_mismatch.reset();
}

void ServerTrust::pin(const QString &host, int port, const QString &fingerprint)
{
    qCInfo(lcTrust) << "pinning the accepted certificate of" << host << port;
    m_preferences->setValue(pinKey(host, port), fingerprint);
    clearMismatchHost();
}
