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
    // 0: any free port. A stopped server started again on its old port looks restarted.
    int port = 0;
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
    // Live relay and MJPEG faults: {"kind", "stream" (relay kinds) or "camera" (mjpeg_*), "seconds", "status",
    // "value", "times"}; see tests/fakefrigate/README.md. Without a stream or camera it hits every one.
    int addLiveFault(const QJsonObject &fault)
    {
        return field(call("POST", "/__control/live/fault", fault), "id").toInt();
    }
    int setLiveFault(const QString &stream, const QString &kind, double seconds = 0);
    void clearLiveFaults() { call("DELETE", "/__control/live/faults"); }
    // Every fragment the relay wrote, oldest first: {connection, stream, track, tfdt, written, captured, key,
    // frame}; connection 0 means all connections.
    QJsonArray liveDepartures(int connection = 0);
    void clearLiveDepartures() { call("DELETE", "/__control/live/departures"); }
    // The relay's sockets: {id, stream, started, offers, answers, binary_frames, closed}.
    QJsonArray liveConnections() { return call("GET", "/__control/live/connections").toArray(); }
    // An offline camera reports 0 fps, shows the stock error picture and cannot be reached by the relay.
    void setCameraOffline(const QString &camera, bool offline)
    {
        call("POST", "/__control/camera", {{QStringLiteral("camera"), camera}, {QStringLiteral("offline"), offline}});
    }
    // A new unseen review item in progress on `camera`, starting now: {"id", "camera", "start_time", ...}.
    QJsonObject addReview(const QString &camera, const QString &severity = QStringLiteral("alert"))
    {
        return call("POST", "/__control/review", {{QStringLiteral("camera"), camera}, {QStringLiteral("severity"), severity}})
            .toObject();
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
