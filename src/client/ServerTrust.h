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

// A handshake that showed another certificate than the one pinned for host:port (SHA-256 hex).
struct CertificateMismatch
{
    QString host;
    int port = 0;
    QString pinned;
    QString offered;

    bool operator==(const CertificateMismatch &) const = default;
};

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

    // The last refused handshake, until a later one to the same host:port matches its pin again.
    std::optional<CertificateMismatch> mismatch() const;
    std::optional<QString> mismatchHost() const;
    void clearMismatchHost();
    // Pins the fingerprint the user accepted for host:port; the refused handshake is forgotten.
    void pin(const QString &host, int port, const QString &fingerprint);

    static QString fingerprint(const QSslCertificate &certificate);
    static QString pinKey(const QString &host, int port);

private:
    mutable QMutex m_lock;
    QSet<QString> m_hosts;
    PreferencesStore *m_preferences;
    std::optional<CertificateMismatch> m_mismatch;
};
