#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QNetworkAccessManager;

struct FakeFrigateOptions
{
    QString version = QStringLiteral("0.16");
    bool tls = false;
    bool auth = true;
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("secret");
};

// The Python fake Frigate server on 127.0.0.1, started per test case, plus its control endpoints.
// Control calls block on a local event loop: fine in tests, never in the product.
class FakeFrigate
{
public:
    FakeFrigate();
    ~FakeFrigate();

    bool start(const FakeFrigateOptions &options = {});
    void stop();

    int port() const { return m_port; }
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString baseUrl() const { return QLatin1String(m_options.tls ? "https://" : "http://") + hostPort(); }
    const FakeFrigateOptions &options() const { return m_options; }

    QJsonArray requests() { return call("GET", "/__control/requests").toArray(); }
    // The request log filtered to one path (exact match, query excluded).
    QJsonArray requestsTo(const QString &path);
    void clearRequests() { call("DELETE", "/__control/requests"); }
    int addFault(const QJsonObject &fault) { return field(call("POST", "/__control/fault", fault), "id").toInt(); }
    void clearFaults() { call("DELETE", "/__control/faults"); }
    void configure(const QJsonObject &settings) { call("POST", "/__control/config", settings); }
    // Adds a line to one of the service logs: {"service", "level", "message"}.
    void appendLog(const QJsonObject &line) { call("POST", "/__control/logs", line); }
    QJsonObject state() { return call("GET", "/__control/state").toObject(); }
    // The recording files and gaps of a camera: {"files": [{start_time, end_time}], "gaps": [...]}.
    QJsonObject recordings(const QString &camera)
    {
        return call("GET", QStringLiteral("/__control/recordings?camera=") + camera).toObject();
    }
    QString replaceCertificate() { return field(call("POST", "/__control/certificate"), "fingerprint").toString(); }
    QString certificateFingerprint() { return field(call("GET", "/__control/certificate"), "fingerprint").toString(); }

private:
    QJsonValue call(const QByteArray &method, const QString &path, const QJsonObject &body = {});
    static QJsonValue field(const QJsonValue &answer, const char *name)
    {
        return answer.toObject().value(QLatin1String(name));
    }

    FakeFrigateOptions m_options;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QTemporaryDir m_certDir;
    int m_port = 0;
};
