#pragma once
#include "client/ConnectionMode.h"
#include "client/FrigateError.h"
#include "client/SecretStore.h"
#include "client/ServerAccess.h"
#include "client/ServerUrls.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonValue>
#include <QNetworkCookie>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QCoro/QCoroTask>
#include <functional>
#include <limits>
#include <optional>

class ClientCookieJar;
class QNetworkAccessManager;
class QNetworkReply;
class QIODevice;
class ServerTrust;

// Upper bounds for what one answer may hold, so a broken or hostile server cannot exhaust memory.
namespace BodyLimit {
constexpr qint64 Json = 32LL << 20;   // config of a large install, 500 reviews, 500 timeline rows
constexpr qint64 Text = 64LL << 10;   // version text and the like
constexpr qint64 Image = 24LL << 20;  // snapshots and preview GIFs
constexpr qint64 Media = 256LL << 20; // one playlist segment
constexpr qint64 Download = 8LL << 30; // a clip streamed to disk
}

struct ApiRequest
{
    QString path;
    QueryItems query;
    QByteArray method = "GET";
    std::optional<QJsonValue> body;
    std::optional<double> timeoutSeconds;
    bool allowReSignIn = true;
    qint64 maxBytes = BodyLimit::Json;
    QList<std::pair<QByteArray, QByteArray>> headers;
};

// HTTP client for one configured Frigate server: address probing, sign-in, the token, and every
// request of the application. Lives on the GUI thread; its operations suspend, never block.
// Credentials (Bearer token, sign-in cookie) go to the origin of baseURL only. Every setUp starts
// a new generation: a step begun for the previous server ends as a cancellation and writes nothing.
class FrigateClient : public QObject
{
    Q_OBJECT
public:
    FrigateClient(const ServerAccess &server, SecretStore *secrets, ServerTrust *trust, QObject *parent = nullptr);
    ~FrigateClient() override;

    // Point the client at a (different) server: forgets address, mode, token and cookies.
    void setUp(const ServerAccess &server);
    // Same server, edited fields.
    void updateSettings(const ServerAccess &server);

    const ServerAccess &settings() const { return m_server; }
    std::optional<QUrl> baseURL() const { return m_baseURL; }
    ConnectionMode mode() const { return m_mode; }
    std::optional<QString> token() const { return m_token; }
    bool certificateChanged() const { return m_certificateChanged; }
    QDateTime lastLoginAttempt() const { return m_lastLoginAttempt; }
    // The version the server reported at the last fetchVersion, empty when unknown.
    QString serverVersion() const { return m_serverVersion; }
    // True when the server's version is at least major.minor (unknown versions count as new).
    bool serverAtLeast(int major, int minor) const;

    static std::optional<QUrl> normalizeURL(const QString &text);
    static QList<QUrl> candidateURLs(const QString &text);
    static bool isSupportedVersion(const QString &version);

    QCoro::Task<bool> findServer();
    QCoro::Task<Status> signIn(QString password);
    QCoro::Task<> dropToken();
    QCoro::Task<> forgetCredentials(QUuid serverId);
    QCoro::Task<std::optional<QString>> fetchVersion();

    std::optional<QUrl> makeURL(const QString &path, const QueryItems &query = {}) const;
    QCoro::Task<Result<QByteArray>> request(ApiRequest request);
    QCoro::Task<Result<QJsonValue>> getJSON(QString path, QueryItems query = {});
    // Streams the body into a private temporary file in folder and, once all of it is on disk,
    // gives it fileName there, or "name (2).ext", "name (3).ext"... rather than replace a file.
    // Answers the final path; on any failure no file is left behind. acceptHead, when given, judges
    // the file's first HeadBytes bytes: a server can answer 200 with an empty or foreign body.
    using HeadCheck = std::function<bool(const QByteArray &head)>;
    static constexpr qint64 HeadBytes = 16;
    QCoro::Task<Result<QString>> downloadToFile(QString path, QString folder, QString fileName,
                                                HeadCheck acceptHead = {});

    std::optional<QNetworkCookie> signInCookie() const;
    void clearCookies();

    // For media and image loaders: the shared network stack (same cookies, same pin checks)
    // and a request carrying the bearer token when url is on the server's own origin.
    QNetworkAccessManager *network() const { return m_network; }
    ServerTrust *trust() const { return m_trust; }
    QNetworkRequest authorizedRequest(const QUrl &url) const;

    // The server's proxy keeps JSON answers for 5 s, per URI (per user only from 0.17), so a
    // review mark leaves stale review lists and summaries there that long; requests for them
    // skip that cache until the mark's answers have aged out (one second of slack).
    void noteReviewsMarked() { m_reviewsMarked.setRemainingTime(6000); }
    bool reviewAnswersStale() const { return !m_reviewsMarked.hasExpired(); }

    // Aborts every request in flight; their callers see a cancellation.
    void cancelAll();

    // Tests shorten how long any request may go without progress (normally 60 s, downloads 300 s).
    void setTimeoutCap(double seconds) { m_timeoutCap = seconds; }

    // Tests replace the wall clock that stamps sign-in attempts.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void setSecureStore(SecretStore *secrets) { m_secrets = secrets; }

signals:
    void tokenChanged();
    // A request() ended in an error other than a cancellation.
    void requestFailed(const FrigateError &error);

private:
    struct Reply;
    QCoro::Task<Reply> send(QNetworkRequest request, QByteArray method, QByteArray body, qint64 maxBytes,
                            double timeoutSeconds, QIODevice *sink);
    void noteOutcome(QNetworkReply *reply, quint64 generation, Reply &result);
    QCoro::Task<bool> probe(QUrl base, double timeoutSeconds);
    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    void setBaseURL(std::optional<QUrl> url);
    ClientCookieJar *cookieJar() const;
    QCoro::Task<> ensureTokenLoaded();
    QCoro::Task<Result<QByteArray>> sendOnce(const ApiRequest &request, QIODevice *sink);
    QCoro::Task<Result<QByteArray>> requestWithReSignIn(ApiRequest request, QIODevice *sink);
    void setToken(std::optional<QString> token);

    ServerAccess m_server;
    QPointer<SecretStore> m_secrets;
    ServerTrust *m_trust;
    QNetworkAccessManager *m_network;
    std::optional<QUrl> m_baseURL;
    ConnectionMode m_mode = ConnectionMode::None;
    std::optional<QString> m_token;
    bool m_tokenLoaded = false;
    quint64 m_generation = 0;
    QString m_serverVersion;
    QDateTime m_lastLoginAttempt;
    bool m_certificateChanged = false;
    QSet<QNetworkReply *> m_inFlight;
    std::function<QDateTime()> m_clock;
    QDeadlineTimer m_reviewsMarked;
    double m_timeoutCap = std::numeric_limits<double>::infinity();
};
