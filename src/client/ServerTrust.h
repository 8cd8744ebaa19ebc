#pragma once
#include <QList>
#include <QMutex>
#include <QSet>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <optional>

class PreferencesStore;
class QNetworkReply;

// Trust on first use for the current server's self-signed certificates: the first leaf seen for
// host:port is pinned by SHA-256, later handshakes must show the same one. Certificates the
// system trusts never reach this class (Qt reports no TLS error for them).
class ServerTrust
{
public:
    enum class Decision { DefaultHandling, Accept, Reject };

    explicit ServerTrust(PreferencesStore *preferences);

    void setServerURLs(const QStringList &addresses);
    void forgetHost(const QString &host);

    // Called where a TLS handshake reported errors; host as the connection names it.
    Decision evaluate(const QString &host, int port, const QList<QSslCertificate> &chain);
    // Applies evaluate() to a reply that reported TLS errors: accepting ignores them.
    void handleSslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

    std::optional<QString> mismatchHost() const;
    void clearMismatchHost();

    static QString fingerprint(const QSslCertificate &certificate);
    static QString pinKey(const QString &host, int port);

private:
    mutable QMutex m_lock;
    QSet<QString> m_hosts;
    PreferencesStore *m_preferences;
    std::optional<QString> m_mismatchHost;
};
