#include "FakeFrigate.h"
#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

FakeFrigate::FakeFrigate()
    : m_network(std::make_unique<QNetworkAccessManager>())
{ }

FakeFrigate::~FakeFrigate()
{
    stop();
}

bool FakeFrigate::start(const FakeFrigateOptions &options)
{
    stop();
    m_options = options;
    QStringList arguments{QStringLiteral(KESTROVA_FAKEFRIGATE_DIR "/server.py"),
                          QStringLiteral("--port"),
                          QString::number(options.port),
                          QStringLiteral("--version"),
                          options.version,
                          options.auth ? QStringLiteral("--auth") : QStringLiteral("--no-auth"),
                          QStringLiteral("--user"),
                          options.user,
                          QStringLiteral("--password"),
                          options.password,
                          QStringLiteral("--media-cache"),
                          QDir::temp().filePath(QStringLiteral("kestrova-fakefrigate-media"))};
    if (options.tls)
        arguments << QStringLiteral("--tls") << QStringLiteral("--cert-dir") << m_certDir.path();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral(KESTROVA_SYSTEM_PYTHON), arguments);
    if (!m_process->waitForStarted(5000))
        return false;

    const QDeadlineTimer deadline(60000); // the first start may render its media cache
    QByteArray output;
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        if (!m_process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 1000))))
            continue;
        output += m_process->readAllStandardOutput();
        const int at = output.indexOf("LISTENING ");
        const int end = output.indexOf('\n', at);
        if (at >= 0 && end > at) {
            m_port = output.mid(at + 10, end - at - 10).trimmed().toInt();
            return m_port > 0;
        }
    }
    return false;
}

void FakeFrigate::stop()
{
    if (!m_process)
        return;
    endChildProcess(*m_process);
    m_process.reset();
    m_port = 0;
}

QJsonValue FakeFrigate::call(const QByteArray &method, const QString &path, const QJsonObject &body)
{
    QNetworkRequest request(QUrl(baseUrl() + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QByteArray payload = body.isEmpty() && method != "POST" ? QByteArray() : QJsonDocument(body).toJson();
    QNetworkReply *reply = m_network->sendCustomRequest(request, method, payload);
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();

    const QByteArray answer = reply->readAll();
    if (!reply->isFinished())
        qWarning("fake server control call %s timed out", qPrintable(path));
    reply->deleteLater();
    const QJsonDocument document = QJsonDocument::fromJson(answer);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

int FakeFrigate::setLiveFault(const QString &stream, const QString &kind, double seconds)
{
    QJsonObject fault{{QStringLiteral("kind"), kind}, {QStringLiteral("seconds"), seconds}};
    fault.insert(kind.startsWith(QLatin1String("mjpeg_")) ? QStringLiteral("camera") : QStringLiteral("stream"),
                 stream.isEmpty() ? QJsonValue() : QJsonValue(stream));
    return addLiveFault(fault);
}

QJsonArray FakeFrigate::liveDepartures(int connection)
{
    const QString query = connection > 0 ? QStringLiteral("?connection=%1").arg(connection) : QString();
    return call("GET", QStringLiteral("/__control/live/departures") + query)
        .toObject()
        .value(QLatin1String("departures"))
        .toArray();
}

QJsonArray FakeFrigate::requestsTo(const QString &path)
{
    QJsonArray matching;
    for (const QJsonValue &entry : requests()) {
        if (entry.toObject().value(QLatin1String("path")).toString() == path)
            matching.append(entry);
    }
    return matching;
}
