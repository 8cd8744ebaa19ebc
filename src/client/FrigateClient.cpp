#include "client/FrigateClient.h"
#include "client/ClientCookieJar.h"
#include "client/Logging.h"
#include "client/ServerTrust.h"
#include "state/SecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QCoro/QCoroNetworkReply>

namespace {
constexpr double DefaultTimeout = 60.0;
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
    QList<QNetworkCookie> setCookies;
};

FrigateClient::FrigateClient(const ServerSettings &settings, SecretStore *secrets, ServerTrust *trust, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
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
        m_trust->setServerURLs({m_settings.internalURL, m_settings.externalURL});
}

FrigateClient::~FrigateClient() = default;

void FrigateClient::setUp(const ServerSettings &settings)
{
    m_settings = settings;
    if (m_trust)
        m_trust->setServerURLs({settings.internalURL, settings.externalURL});
    m_token.reset();
    m_tokenLoaded = false;
    m_baseURL.reset();
    m_mode = ConnectionMode::None;
    m_serverVersion.clear();
    clearCookies();
    emit tokenChanged();
}

void FrigateClient::updateSettings(const ServerSettings &settings)
{
    m_settings = settings;
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

QString FrigateClient::secretKey(const char *kind) const
{
    return QLatin1String(kind) + QLatin1Char('.') + m_settings.idText();
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
    const QUuid id = m_settings.id;
    const QString account = secretKey("token");
    const auto stored = co_await m_secrets->readSecret(account);
    if (m_settings.id != id || m_tokenLoaded)
        co_return;
    m_tokenLoaded = true;
    setToken(stored && !stored->isEmpty() ? stored : std::nullopt);
}

QCoro::Task<FrigateClient::Reply> FrigateClient::send(QNetworkRequest request, QByteArray method, QByteArray body,
                                                      qint64 maxBytes, double timeoutSeconds, QIODevice *sink)
{
    Reply result;
    QNetworkReply *reply = m_network->sendCustomRequest(request, method, body);
    m_inFlight.insert(reply);

    // Like the platform's request time-out, this one measures silence, not the whole transfer.
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(int(timeoutSeconds * 1000));
    connect(&idle, &QTimer::timeout, reply, [&result, reply] {
        result.timedOut = true;
        reply->abort();
    });
    const auto refuseIfTooLarge = [&result, reply, maxBytes](qint64 size) {
        if (size <= maxBytes || result.tooLarge)
            return;
        result.tooLarge = true;
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, &idle, [reply, refuseIfTooLarge] {
        refuseIfTooLarge(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, &idle, [&idle, refuseIfTooLarge](qint64 received, qint64) {
        idle.start();
        refuseIfTooLarge(received);
    });
    connect(reply, &QNetworkReply::uploadProgress, &idle, [&idle] { idle.start(); });
    if (sink) {
        connect(reply, &QNetworkReply::readyRead, &idle, [&result, reply, sink] {
            const QByteArray chunk = reply->readAll();
            if (sink->write(chunk) != chunk.size() && !result.sinkFailed) {
                result.sinkFailed = true;
                reply->abort();
            }
        });
    }
    idle.start();

    co_await reply;

    m_inFlight.remove(reply);
    result.error = reply->error();
    result.cancelled = result.error == QNetworkReply::OperationCanceledError && !result.timedOut && !result.tooLarge
                       && !result.sinkFailed;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.setCookies = reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    if (reply->isOpen() && sink)
        sink->write(reply->readAll());
    else if (reply->isOpen() && !result.tooLarge)
        result.body = reply->readAll();
    reply->deleteLater();
    co_return result;
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
    co_await ensureTokenLoaded();
    m_mode = ConnectionMode::None;
    m_certificateChanged = false;
    if (m_trust)
        m_trust->clearMismatchHost();

    const struct { QString address; ConnectionMode mode; double timeout; } attempts[] = {
        {m_settings.internalURL, ConnectionMode::Local, LocalProbeTimeout},
        {m_settings.externalURL, ConnectionMode::Remote, RemoteProbeTimeout},
    };
    for (const auto &attempt : attempts) {
        for (const QUrl &candidate : candidateURLs(attempt.address)) {
            if (co_await probe(candidate, attempt.timeout)) {
                m_baseURL = candidate;
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
    const QJsonObject credentials{{QStringLiteral("user"), m_settings.username},
                                  {QStringLiteral("password"), password}};
    const QByteArray body = QJsonDocument(credentials).toJson(QJsonDocument::Compact);

    const QByteArray method("POST");
    const Reply reply = co_await send(request, method, body, BodyLimit::Json, DefaultTimeout, nullptr);
    if (reply.cancelled)
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
            const QString account = secretKey("token");
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
    const QString account = secretKey("token");
    co_await m_secrets->writeSecret(none, account);
}

QCoro::Task<> FrigateClient::forgetCredentials(QUuid serverId)
{
    if (!m_secrets)
        co_return;
    const QString id = uuidText(serverId);
    const std::optional<QString> none;
    const QString tokenAccount = QStringLiteral("token.") + id;
    const QString passwordAccount = QStringLiteral("password.") + id;
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
    QUrl url = *m_baseURL;
    QString fullPath = url.path();
    if (!fullPath.endsWith(QLatin1Char('/')))
        fullPath += QLatin1Char('/');
    url.setPath(fullPath + path);
    if (!query.isEmpty()) {
        // "+" is encoded too: servers read a bare "+" in a query as a space (time zones like Etc/GMT+1).
        QStringList pairs;
        for (const auto &[name, value] : query) {
            pairs << QString::fromLatin1(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value, ",:/"));
        }
        url.setQuery(pairs.join(QLatin1Char('&')), QUrl::StrictMode);
    }
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QNetworkRequest FrigateClient::authorizedRequest(const QUrl &url) const
{
    QNetworkRequest request(url);
    if (m_token)
        request.setRawHeader("Authorization", "Bearer " + m_token->toUtf8());
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
    if (reply.cancelled)
        co_return FrigateError::cancelled();
    if (reply.tooLarge)
        co_return FrigateError::decoding(tr("the answer is larger than %1 MB").arg(call.maxBytes >> 20));
    if (reply.sinkFailed)
        co_return FrigateError::decoding(tr("the download could not be written to disk"));
    if (reply.status == 0)
        co_return FrigateError::unreachable();
    if (reply.status >= 200 && reply.status <= 299)
        co_return reply.body;
    if (reply.status == 401)
        co_return FrigateError::unauthorized();
    co_return FrigateError::http(reply.status);
}

QCoro::Task<Result<QByteArray>> FrigateClient::request(ApiRequest call)
{
    co_return co_await requestWithReSignIn(std::move(call), nullptr);
}

QCoro::Task<Result<QByteArray>> FrigateClient::requestWithReSignIn(ApiRequest call, QIODevice *sink)
{
    Result<QByteArray> outcome = co_await sendOnce(call, sink);
    if (outcome || !call.allowReSignIn || outcome.error().kind() != FrigateError::Kind::Unauthorized || !m_secrets)
        co_return outcome;

    const QString account = secretKey("password");
    const auto password = co_await m_secrets->readSecret(account);
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

QCoro::Task<Result<QUrl>> FrigateClient::downloadToFile(QString path, QString fileName)
{
    const QString target = QDir::temp().filePath(QFileInfo(fileName).fileName());
    QFile::remove(target);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        co_return FrigateError::decoding(tr("the download could not be written to disk"));

    ApiRequest request;
    request.path = path;
    request.maxBytes = BodyLimit::Download;
    const auto outcome = co_await requestWithReSignIn(request, &file);
    file.close();
    if (!outcome) {
        QFile::remove(target);
        co_return outcome.error();
    }
    co_return QUrl::fromLocalFile(target);
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
