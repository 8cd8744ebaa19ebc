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
    QString hostPort() const;
    QString baseUrl() const;
    const FakeFrigateOptions &options() const { return m_options; }

    QJsonArray requests();
    // The request log filtered to one path (exact match, query excluded).
    QJsonArray requestsTo(const QString &path);
    void clearRequests();
    int addFault(const QJsonObject &fault);
    void clearFaults();
    void configure(const QJsonObject &settings);
    QJsonObject state();
    QString replaceCertificate();
    QString certificateFingerprint();

private:
    QJsonValue call(const QByteArray &method, const QString &path, const QJsonObject &body = {});

    FakeFrigateOptions m_options;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QTemporaryDir m_certDir;
    int m_port = 0;
};
