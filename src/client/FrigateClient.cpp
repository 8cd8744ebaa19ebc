#include "client/FrigateClient.h"

#include "client/ClientCookieJar.h"
#include "client/FilePublishing.h"
#include "client/ProgressWatchdog.h"
#include "client/Logging.h"
#include "client/SecretAccounts.h"
#include "client/ServerTrust.h"
#include "client/UrlOrigin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroNetworkReply>
#include <QtConcurrent/QtConcurrentRun>
#include <unistd.h>

namespace {
constexpr double DefaultTimeout = 60.0;
constexpr double DownloadTimeout = 300.0;
constexpr double LocalProbeTimeout = 2.5;
constexpr double RemoteProbeTimeout = 8.0;
constexpr double VersionTimeout = 8.0;
constexpr qint64 ReSignInQuietSeconds = 20;

bool hasScheme(const QString &lowered)
{
    return lowered.startsWith(QLatin1String("http://")) || lowered.startsWith(QLatin1String("https://"));
}

QList<int> versionNumbers(const QString &text)
{
    QList<int> numbers;
    static const QRegularExpression nonDigit(QStringLiteral("[^0-9]+"));
    for (const QString &piece : text.split(nonDigit, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = piece.toInt(&ok);
        if (ok)
            numbers.append(value);
    }
    return numbers;
}

} // namespace

// What one exchange with the server produced, before it is judged.
struct FrigateClient::Reply
{
    int status = 0; // 0: no HTTP answer
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    bool timedOut = false;
    bool cancelled = false;
    bool tooLarge = false;
    bool sinkFailed = false;
    bool stale = false; // the client was set up for another server meanwhile
    bool transportFailed = false; // the connection failed, possibly after the status line
    qint64 received = 0;
    qint64 announced = -1; // the body's announced length, in the units Qt counts received bytes in
    QList<QNetworkCookie> setCookies;
};

FrigateClient::FrigateClient(const ServerAccess &server, SecretStore *secrets, ServerTrust *trust, QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_secrets(secrets)
    , m_trust(trust)
    , m_network(new QNetworkAccessManager(this))
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_network->setCookieJar(new ClientCookieJar(m_network));
    m_network->setAutoDeleteReplies(false);
    connect(m_network, &QNetworkAccessManager::sslErrors, this,
            [this](QNetworkReply *reply, const QList<QSslError> &errors) {
                if (m_trust)
                    m_trust->handleSslErrors(reply, errors);
            });
    if (m_trust)
        m_trust->setServerURLs({m_server.internalURL, m_server.externalURL});
}

FrigateClient::~FrigateClient() = default;

void FrigateClient::setUp(const ServerAccess &server)
{
    ++m_generation;
    m_server = server;
    if (m_trust)
        m_trust->setServerURLs({server.internalURL, server.externalURL});
    m_token.reset();
    m_tokenLoaded = false;
    setBaseURL(std::nullopt);
    m_mode = ConnectionMode::None;
    m_serverVersion.clear();
    clearCookies();
    emit tokenChanged();
}

void FrigateClient::updateSettings(const ServerAccess &server)
{
    m_server = server;
}

bool FrigateClient::serverAtLeast(int major, int minor) const
{
    const QList<int> numbers = versionNumbers(m_serverVersion);
    if (numbers.size() < 2)
        return true;
    return numbers[0] > major || (numbers[0] == major && numbers[1] >= minor);
}

std::optional<QUrl> FrigateClient::normalizeURL(const QString &text)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (!hasScheme(trimmed.toLower())) {
        const QUrl probe(QStringLiteral("http://") + trimmed, QUrl::StrictMode);
        const bool tlsPort = probe.isValid() && probe.port() == 8971;
        trimmed.prepend(tlsPort ? QStringLiteral("https://") : QStringLiteral("http://"));
    }
    while (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

QList<QUrl> FrigateClient::candidateURLs(const QString &text)
{
    const auto url = normalizeURL(text);
    if (!url)
        return {};
    if (hasScheme(text.trimmed().toLower()))
        return {*url};
    QUrl other = *url;
    other.setScheme(url->scheme() == QLatin1String("https") ? QStringLiteral("http") : QStringLiteral("https"));
    if (!other.isValid())
        return {*url};
    return {*url, other};
}

bool FrigateClient::isSupportedVersion(const QString &version)
{
    const QList<int> numbers = versionNumbers(version);
    return numbers.size() < 2 || numbers[0] >= 1 || numbers[1] > 13;
}

void FrigateClient::setBaseURL(std::optional<QUrl> url)
{
    m_baseURL = url;
    cookieJar()->setOrigin(std::move(url));
}

ClientCookieJar *FrigateClient::cookieJar() const
{
    return static_cast<ClientCookieJar *>(m_network->cookieJar());
}

void FrigateClient::setToken(std::optional<QString> token)
{
    if (m_token == token)
        return;
    m_token = std::move(token);
    emit tokenChanged();
}

QCoro::Task<> FrigateClient::ensureTokenLoaded()
{
    if (m_tokenLoaded || !m_secrets)
        co_return;
    const quint64 generation = m_generation;
    const QString account = SecretAccounts::tokenAccount(m_server.id);
    const auto stored = co_await m_secrets->readSecret(account);
    if (!isCurrent(generation) || m_tokenLoaded)
        co_return;
    m_tokenLoaded = true;
    setToken(stored && !stored->isEmpty() ? stored : std::nullopt);
}

QCoro::Task<FrigateClient::Reply> FrigateClient::send(QNetworkRequest request, QByteArray method, QByteArray body,
                                                      qint64 maxBytes, double timeoutSeconds, QIODevice *sink)
{
    const quint64 generation = m_generation;
    // Cookies the answer sets are stored below, once it is known to still be this server's.
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // A 307 would carry the sign-in body, and Qt keeps the Authorization header: stay on the origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    Reply result;
    QNetworkReply *reply = m_network->sendCustomRequest(request, method, body);
    m_inFlight.insert(reply);

    // Connections of this exchange only: they use locals of this frame.
    QObject scope;
    ProgressWatchdog::watch(reply, int(std::min(timeoutSeconds, m_timeoutCap) * 1000),
                            [&result] { result.timedOut = true; });
    const auto refuseIfTooLarge = [&result, reply, maxBytes](qint64 size) {
        if (size <= maxBytes || result.tooLarge)
            return;
        result.tooLarge = true;
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, &scope, [reply, refuseIfTooLarge] {
        refuseIfTooLarge(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, &scope,
            [&result, refuseIfTooLarge](qint64 received, qint64 total) {
                result.received = received;
                result.announced = total;
                refuseIfTooLarge(received);
            });
    const auto drainIntoSink = [&result, reply, sink] {
        const QByteArray chunk = reply->readAll();
        if (result.sinkFailed || sink->write(chunk) == chunk.size())
            return;
        result.sinkFailed = true;
        reply->abort();
    };
    if (sink)
        connect(reply, &QNetworkReply::readyRead, &scope, drainIntoSink);

    co_await reply;

    m_inFlight.remove(reply);
    noteOutcome(reply, generation, result);
    if (reply->isOpen() && sink)
        drainIntoSink();
    else if (reply->isOpen() && !result.tooLarge)
        result.body = reply->readAll();
    reply->deleteLater();
    co_return result;
}

void FrigateClient::noteOutcome(QNetworkReply *reply, quint64 generation, Reply &result)
{
    result.error = reply->error();
    result.cancelled = result.error == QNetworkReply::OperationCanceledError && !result.timedOut && !result.tooLarge
                       && !result.sinkFailed;
    result.stale = !isCurrent(generation);
    // Codes 1-199 and 301-399 are failures of the connection or protocol; the others mirror a status.
    const int code = int(result.error);
    result.transportFailed = (code > 0 && code < 200) || (code > 300 && code < 400);
    // Qt 6.4 can finish without an error when the server closes before the announced length.
    if (code == 0 && result.announced > 0 && result.received < result.announced)
        result.transportFailed = true;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (result.stale)
        return;
    result.setCookies = reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    cookieJar()->setCookiesFromUrl(result.setCookies, reply->url());
}

QCoro::Task<bool> FrigateClient::probe(QUrl base, double timeoutSeconds)
{
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("api/version"));

    const QNetworkRequest request(url);
    const QByteArray method("GET");
    const QByteArray noBody;
    const Reply reply = co_await send(request, method, noBody, BodyLimit::Text, timeoutSeconds, nullptr);
    if (reply.stale)
        co_return false;
    if (reply.status > 0)
        co_return reply.status != 400;

    const auto mismatch = m_trust ? m_trust->mismatchHost() : std::nullopt;
    if (!url.host().isEmpty() && mismatch && mismatch->toLower() == url.host().toLower())
        m_certificateChanged = true;
    qCInfo(lcClient) << "probe of" << base.toDisplayString() << "failed:" << reply.error;
    co_return false;
}

QCoro::Task<bool> FrigateClient::findServer()
{
    const quint64 generation = m_generation;
    co_await ensureTokenLoaded();
    if (!isCurrent(generation))
        co_return false;
    m_mode = ConnectionMode::None;
    m_certificateChanged = false;
    if (m_trust)
        m_trust->clearMismatchHost();

    const struct { QString address; ConnectionMode mode; double timeout; } attempts[] = {
        {m_server.internalURL, ConnectionMode::Local, LocalProbeTimeout},
        {m_server.externalURL, ConnectionMode::Remote, RemoteProbeTimeout},
    };
    for (const auto &attempt : attempts) {
        for (const QUrl &candidate : candidateURLs(attempt.address)) {
            const bool reachable = co_await probe(candidate, attempt.timeout);
            if (!isCurrent(generation))
                co_return false;
            if (reachable) {
                setBaseURL(candidate);
                m_mode = attempt.mode;
                co_return true;
            }
        }
    }
    m_mode = ConnectionMode::None;
    co_return false;
}

QCoro::Task<Status> FrigateClient::signIn(QString password)
{
    if (!m_baseURL)
        co_return FrigateError::unreachable();
    m_lastLoginAttempt = m_clock();

    const auto url = makeURL(QStringLiteral("api/login"));
    if (!url)
        co_return FrigateError::unreachable();
    QNetworkRequest request(*url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QJsonObject credentials{{QStringLiteral("user"), m_server.username}, {QStringLiteral("password"), password}};
    const QByteArray body = QJsonDocument(credentials).toJson(QJsonDocument::Compact);

    const QByteArray method("POST");
    const Reply reply = co_await send(request, method, body, BodyLimit::Json, DefaultTimeout, nullptr);
    if (reply.cancelled || reply.stale)
        co_return FrigateError::cancelled();
    switch (reply.status) {
    case 0:
        co_return FrigateError::unreachable();
    case 200:
        break;
    case 400: // 0.14 answers bad credentials with 400
    case 401:
    case 403:
        co_return FrigateError::unauthorized();
    case 429:
        co_return FrigateError::rateLimited();
    case 404:
        co_await dropToken();
        co_return std::nullopt;
    default:
        co_return FrigateError::http(reply.status);
    }

    QList<QNetworkCookie> candidates = reply.setCookies;
    candidates += m_network->cookieJar()->cookiesForUrl(*m_baseURL);
    for (const QNetworkCookie &cookie : std::as_const(candidates)) {
        if (cookie.name() != "frigate_token" || cookie.value().isEmpty())
            continue;
        const QString token = QString::fromUtf8(cookie.value());
        setToken(token);
        m_tokenLoaded = true;
        if (m_secrets) {
            const std::optional<QString> value = token;
            const QString account = SecretAccounts::tokenAccount(m_server.id);
            co_await m_secrets->writeSecret(value, account);
        }
        co_return std::nullopt;
    }
    co_await dropToken();
    co_return std::nullopt;
}

QCoro::Task<> FrigateClient::dropToken()
{
    setToken(std::nullopt);
    m_tokenLoaded = true;
    if (!m_secrets)
        co_return;
    const std::optional<QString> none;
    const QString account = SecretAccounts::tokenAccount(m_server.id);
    co_await m_secrets->writeSecret(none, account);
}

QCoro::Task<> FrigateClient::forgetCredentials(QUuid serverId)
{
    if (!m_secrets)
        co_return;
    const std::optional<QString> none;
    const QString tokenAccount = SecretAccounts::tokenAccount(serverId);
    const QString passwordAccount = SecretAccounts::passwordAccount(serverId);
    co_await m_secrets->writeSecret(none, tokenAccount);
    co_await m_secrets->writeSecret(none, passwordAccount);
}

QCoro::Task<std::optional<QString>> FrigateClient::fetchVersion()
{
    ApiRequest request;
    request.path = QStringLiteral("api/version");
    request.timeoutSeconds = VersionTimeout;
    request.maxBytes = BodyLimit::Text;
    const auto answer = co_await this->request(request);
    if (!answer)
        co_return std::nullopt;
    const QString text = QString::fromUtf8(answer.value()).trimmed();
    if (text.isEmpty() || text.size() > 40)
        co_return std::nullopt;
    m_serverVersion = text;
    co_return text;
}

std::optional<QUrl> FrigateClient::makeURL(const QString &path, const QueryItems &query) const
{
    if (!m_baseURL)
        return std::nullopt;
    const QUrl url = ServerUrls::at(*m_baseURL, path, query);
    if (url.isEmpty())
        return std::nullopt;
    return url;
}

QNetworkRequest FrigateClient::authorizedRequest(const QUrl &url) const
{
    QNetworkRequest request(url);
    if (!m_token || !m_baseURL || !UrlOrigin::isSame(url, *m_baseURL))
        return request;
    request.setRawHeader("Authorization", "Bearer " + m_token->toUtf8());
    // Qt keeps the header on a redirect: one that leaves the origin must fail instead.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

QCoro::Task<Result<QByteArray>> FrigateClient::sendOnce(const ApiRequest &call, QIODevice *sink)
{
    const auto url = makeURL(call.path, call.query);
    if (!url)
        co_return FrigateError::notConfigured();
    QNetworkRequest request = authorizedRequest(*url);
    QByteArray body;
    if (call.body) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        body = call.body->isArray() ? QJsonDocument(call.body->toArray()).toJson(QJsonDocument::Compact)
                                    : QJsonDocument(call.body->toObject()).toJson(QJsonDocument::Compact);
    }
    for (const auto &[name, value] : call.headers)
        request.setRawHeader(name, value);

    const Reply reply = co_await send(request, call.method, body, call.maxBytes,
                                      call.timeoutSeconds.value_or(DefaultTimeout), sink);
    if (reply.cancelled || reply.stale)
        co_return FrigateError::cancelled();
    if (reply.tooLarge)
        co_return FrigateError::decoding(tr("the answer is larger than %1 MB").arg(call.maxBytes >> 20));
    if (reply.sinkFailed)
        co_return FrigateError::localFile(tr("the disk refused the data (full, or not writable)"));
    if (reply.status == 0 || reply.transportFailed)
        co_return FrigateError::unreachable();
    if (reply.status >= 200 && reply.status <= 299)
        co_return reply.body;
    if (reply.status == 401)
        co_return FrigateError::unauthorized();
    co_return FrigateError::http(reply.status);
}

QCoro::Task<Result<QByteArray>> FrigateClient::request(ApiRequest call)
{
    auto outcome = co_await requestWithReSignIn(std::move(call), nullptr);
    if (!outcome && !outcome.error().isCancellation())
        emit requestFailed(outcome.error());
    co_return outcome;
}

QCoro::Task<Result<QByteArray>> FrigateClient::requestWithReSignIn(ApiRequest call, QIODevice *sink)
{
    Result<QByteArray> outcome = co_await sendOnce(call, sink);
    if (outcome || !call.allowReSignIn || outcome.error().kind() != FrigateError::Kind::Unauthorized || !m_secrets)
        co_return outcome;

    const quint64 generation = m_generation;
    const QString account = SecretAccounts::passwordAccount(m_server.id);
    const auto password = co_await m_secrets->readSecret(account);
    if (!isCurrent(generation))
        co_return FrigateError::cancelled();
    const QDateTime now = m_clock();
    const bool quietEnough = !m_lastLoginAttempt.isValid() || m_lastLoginAttempt.secsTo(now) > ReSignInQuietSeconds;
    if (!password || !quietEnough)
        co_return outcome;

    qCInfo(lcClient) << "signing in again after 401 on" << call.path;
    if (const Status failure = co_await signIn(*password))
        co_return *failure;
    call.allowReSignIn = false;
    if (auto *file = qobject_cast<QFile *>(sink))
        file->resize(0);
    if (sink)
        sink->seek(0);
    co_return co_await sendOnce(call, sink);
}

QCoro::Task<Result<QJsonValue>> FrigateClient::getJSON(QString path, QueryItems query)
{
    ApiRequest request;
    request.path = path;
    request.query = query;
    const auto body = co_await this->request(request);
    if (!body)
        co_return body.error();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.value(), &error);
    if (error.error != QJsonParseError::NoError)
        co_return FrigateError::decoding(error.errorString());
    co_return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QCoro::Task<Result<QString>> FrigateClient::downloadToFile(QString path, QString folder, QString fileName,
                                                          HeadCheck acceptHead)
{
    const QString name = QFileInfo(fileName).fileName();
    const QDir target(folder);
    QTemporaryFile file(target.filePath(QStringLiteral(".%1.XXXXXX.part").arg(name)));
    if (name.isEmpty() || !file.open())
        co_return FrigateError::localFile(tr("%1 is not a writable folder").arg(QDir::toNativeSeparators(folder)));

    ApiRequest request;
    request.path = path;
    request.maxBytes = BodyLimit::Download;
    // 0.14 builds the whole clip before the first byte leaves: minutes for an hour of recording.
    request.timeoutSeconds = DownloadTimeout;
    const auto outcome = co_await requestWithReSignIn(request, &file);
    if (!outcome)
        co_return outcome.error();
    // Buffered bytes and delayed allocation only meet a full disk here. Syncing a clip of some
    // gigabytes takes seconds, so it runs off the GUI thread.
    const QString refused = tr("the disk refused the data (full, or not writable)");
    if (!file.flush())
        co_return FrigateError::localFile(refused);
    const int descriptor = file.handle();
    const QFuture<bool> sync = QtConcurrent::run([descriptor] { return ::fdatasync(descriptor) == 0; });
    if (!co_await sync)
        co_return FrigateError::localFile(refused);
    if (acceptHead) {
        file.seek(0);
        if (!acceptHead(file.read(HeadBytes)))
            co_return FrigateError::decoding(tr("the server sent no usable file"));
    }
    file.close();
    co_return publishWithoutReplacing(file, folder, name);
}

std::optional<QNetworkCookie> FrigateClient::signInCookie() const
{
    if (!m_token || !m_baseURL || m_baseURL->host().isEmpty())
        return std::nullopt;
    QNetworkCookie cookie("frigate_token", m_token->toUtf8());
    cookie.setDomain(m_baseURL->host());
    cookie.setPath(QStringLiteral("/"));
    return cookie;
}

void FrigateClient::clearCookies()
{
    static_cast<ClientCookieJar *>(m_network->cookieJar())->clear();
}

void FrigateClient::cancelAll()
{
    const auto replies = m_inFlight;
    for (QNetworkReply *reply : replies)
        reply->abort();
}
