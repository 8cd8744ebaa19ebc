#include "DiskConditions.h"
#include "FakeFrigate.h"
#include "TaskRunner.h"
#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "client/SecretAccounts.h"
#include "client/ServerTrust.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerSettings.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray answer(const QByteArray &status, const QByteArray &headers, const QByteArray &body = {})
{
    return "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

QByteArray okAnswer(const QByteArray &body)
{
    return answer("200 OK", "Content-Length: " + QByteArray::number(body.size()) + "\r\n", body);
}
} // namespace

// HTTP on 127.0.0.1 with one canned answer per path, for what the fake Frigate cannot play:
// redirects, bodies cut short, a second origin. Keeps the head of every request, lower-cased.
class ScriptedServer : public QTcpServer
{
public:
    QHash<QByteArray, QByteArray> answers; // path -> raw answer; others get 404
    QList<QByteArray> heads;

    ScriptedServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
        answers.insert("/api/version", okAnswer("0.16.0"));
    }
    QString origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n"))
            return;
        heads << head.left(head.indexOf("\r\n\r\n")).toLower();
        socket->write(answers.value(head.split(' ').value(1), answer("404 Not Found", "Content-Length: 0\r\n")));
        socket->disconnectFromHost();
    }
};

// Secrets that let a test act at the moment the client reads one.
struct HookedSecrets : MemorySecretStore
{
    std::function<void(const QString &)> onRead;
    QCoro::Task<std::optional<QString>> readSecret(QString account) override
    {
        if (onRead)
            onRead(account);
        return MemorySecretStore::readSecret(account);
    }
};

// One client wired like the application wires it, against one fake server.
struct Rig
{
    MemoryPreferencesStore preferences;
    HookedSecrets secrets;
    ServerTrust trust{&preferences};
    FakeFrigate server;
    std::unique_ptr<FrigateClient> client;
    ServerSettings settings;

    bool start(const FakeFrigateOptions &options, const QString &internal = {}, const QString &external = {})
    {
        if (!server.port() && !server.start(options))
            return false;
        settings.username = options.auth ? options.user : QString();
        settings.internalURL = internal.isNull() ? server.baseUrl() : internal;
        settings.externalURL = external;
        client = std::make_unique<FrigateClient>(settings.access(), &secrets, &trust);
        return true;
    }
    QString token() { return runTask(secrets.readSecret(SecretAccounts::tokenAccount(settings.id))).value_or(QString()); }
    void setSecret(const QString &account, const QString &value) { runTask(secrets.writeSecret(value, account)); }
    bool connect() { return runTask(client->findServer()) && !runTask(client->signIn(server.options().password)); }
};

// A client of a scripted server, its address found.
std::unique_ptr<FrigateClient> clientOf(const ScriptedServer &server, SecretStore *secrets)
{
    ServerSettings settings;
    settings.internalURL = server.origin();
    auto client = std::make_unique<FrigateClient>(settings.access(), secrets, nullptr);
    return runTask(client->findServer()) ? std::move(client) : nullptr;
}

class TestClient : public QObject
{
    Q_OBJECT
private slots:
    void signIn_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("forcedStatus"); // 0: the server decides
        QTest::addColumn<QString>("expected"); // message, or "ok"
        QTest::addColumn<bool>("tokenAfter");
        for (const char *version : {"0.14", "0.15", "0.16"})
            QTest::addRow("%s signs in", version) << version << "secret" << 0 << "ok" << true;
        QTest::newRow("0.14 bad password is 400") << "0.14" << "wrong" << 0 << "Invalid username or password." << true;
        QTest::newRow("403") << "0.16" << "secret" << 403 << "Invalid username or password." << true;
        QTest::newRow("rate limited") << "0.15" << "secret" << 429 << "Too many login attempts: try again in a minute." << true;
        QTest::newRow("server error") << "0.15" << "secret" << 500 << "Server error (HTTP 500)." << true;
        QTest::newRow("no sign-in on server") << "0.16" << "secret" << 404 << "ok" << false;
        QTest::newRow("200 without cookie") << "0.16" << "secret" << 200 << "ok" << false;
    }
    void signIn()
    {
        QFETCH(QString, version);
        QFETCH(QString, password);
        QFETCH(int, forcedStatus);
        QFETCH(bool, tokenAfter);
        Rig rig;
        QVERIFY(rig.start({.version = version}));
        rig.setSecret(SecretAccounts::tokenAccount(rig.settings.id), QStringLiteral("stale-token"));
        QVERIFY(!rig.client->signInCookie());
        QVERIFY(runTask(rig.client->findServer()));
        QCOMPARE(rig.client->token(), std::optional<QString>(QStringLiteral("stale-token")));
        if (forcedStatus)
            rig.server.addFault({{"path", "^/api/login$"}, {"status", forcedStatus}, {"body", "{}"}});

        const Status outcome = runTask(rig.client->signIn(password));
        QTEST(outcome ? outcome->message() : QStringLiteral("ok"), "expected");
        QCOMPARE(rig.client->token().has_value(), tokenAfter);
        QCOMPARE(rig.token(), rig.client->token().value_or(QString()));
        QCOMPARE(rig.client->signInCookie().has_value(), tokenAfter);
        if (!outcome && tokenAfter) {
            QVERIFY(rig.client->token() != QStringLiteral("stale-token"));
            QCOMPARE(rig.client->signInCookie()->value(), rig.client->token()->toUtf8());
        }
    }

    void reSignInAfter401_data()
    {
        QTest::addColumn<bool>("alwaysRefused"); // the server refuses even the fresh token
        QTest::addColumn<int>("secondsSinceLogin");
        QTest::addColumn<int>("logins");
        QTest::newRow("expired token, one re-sign-in") << false << 60 << 1;
        QTest::newRow("20 s after a sign-in: none") << true << 20 << 0;
        QTest::newRow("21 s after a sign-in: one, refused again: no loop") << true << 21 << 1;
    }
    void reSignInAfter401()
    {
        QFETCH(bool, alwaysRefused);
        QFETCH(int, secondsSinceLogin);
        QFETCH(int, logins);
        Rig rig;
        QVERIFY(rig.start({}));
        QDateTime now = QDateTime::currentDateTimeUtc();
        rig.client->setClock([&now] { return now; });
        QVERIFY(rig.connect());
        rig.setSecret(SecretAccounts::passwordAccount(rig.settings.id), QStringLiteral("secret"));
        rig.server.addFault({{"path", "^/api/config$"}, {"status", 401}, {"times", alwaysRefused ? 9 : 1}});
        rig.server.clearRequests();
        now = now.addSecs(secondsSinceLogin);
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QCOMPARE(config.ok() ? Status() : Status(config.error()), alwaysRefused ? Status(FrigateError::unauthorized()) : Status());
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), logins);
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/config")).size(), 1 + logins);
    }

    // A step begun for one server that ends after the client was set up for another writes
    // nothing. The other entry names the same address with another user, so a stray cookie
    // or token would really be sent on its behalf.
    void staleStepsWriteNothing_data()
    {
        QTest::addColumn<QString>("step");
        for (const char *step : {"probe", "sign-in", "version", "re-sign-in"})
            QTest::newRow(step) << step;
    }
    void staleStepsWriteNothing()
    {
        QFETCH(QString, step);
        Rig rig;
        QVERIFY(rig.start({}));
        ServerSettings other = rig.settings;
        other.id = QUuid::createUuid();
        other.username = QStringLiteral("viewer");
        if (step != QLatin1String("probe"))
            QVERIFY(runTask(rig.client->findServer()));
        if (step == QLatin1String("version") || step == QLatin1String("re-sign-in"))
            QCOMPARE(runTask(rig.client->signIn(QStringLiteral("secret"))), Status());
        rig.client->setClock([] { return QDateTime::currentDateTimeUtc().addSecs(60); });
        rig.setSecret(SecretAccounts::passwordAccount(rig.settings.id), QStringLiteral("secret"));
        const QStringList secretsBefore = rig.secrets.accounts();
        const auto switchServer = [&] { rig.client->setUp(other.access()); };

        if (step == QLatin1String("probe")) {
            auto found = rig.client->findServer();
            switchServer();
            QVERIFY(!runTask(std::move(found)));
        } else if (step == QLatin1String("sign-in")) {
            auto signIn = rig.client->signIn(QStringLiteral("secret"));
            switchServer();
            QCOMPARE(runTask(std::move(signIn)), Status(FrigateError::cancelled()));
        } else if (step == QLatin1String("version")) {
            auto version = rig.client->fetchVersion();
            switchServer();
            QCOMPARE(runTask(std::move(version)), std::optional<QString>());
        } else {
            rig.server.addFault({{"path", "^/api/config$"}, {"status", 401}});
            rig.secrets.onRead = [&](const QString &account) {
                if (account.startsWith(QLatin1String("password.")))
                    switchServer();
            };
            QCOMPARE(runTask(FrigateApi::loadConfig(*rig.client)).error(), FrigateError::cancelled());
            QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), 1);
        }
        QVERIFY(!rig.client->baseURL() && !rig.client->token() && rig.client->serverVersion().isEmpty());
        const QStringList secretsAfter = rig.secrets.accounts();
        QCOMPARE(QSet<QString>(secretsAfter.begin(), secretsAfter.end()), QSet<QString>(secretsBefore.begin(), secretsBefore.end()));
        QVERIFY(runTask(rig.client->findServer()));
        QVERIFY(!rig.client->token());
        QVERIFY(rig.client->network()->cookieJar()->cookiesForUrl(*rig.client->baseURL()).isEmpty());
    }

    void credentialsOnlyToTheOwnOrigin_data()
    {
        QTest::addColumn<QString>("target"); // "<server>/<path>" for an image loader, "<path>" for the client
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<bool>("credentials");
        QTest::newRow("own origin") << "home/ok" << "home" << true;
        QTest::newRow("same host, other port") << "foreign/ok" << "foreign" << false;
        QTest::newRow("redirect within the origin") << "hop" << "home" << true;
        QTest::newRow("redirect to another port") << "jump" << "foreign" << false;
    }
    void credentialsOnlyToTheOwnOrigin()
    {
        QFETCH(QString, target);
        QFETCH(QString, receiver);
        QFETCH(bool, credentials);
        ScriptedServer home;
        ScriptedServer foreign;
        const QByteArray empty = "Content-Length: 0\r\n";
        home.answers.insert("/api/login", answer("200 OK", "Set-Cookie: frigate_token=tok; Path=/\r\n" + empty));
        home.answers.insert("/ok", okAnswer("{}"));
        home.answers.insert("/hop", answer("302 Found", "Location: /ok\r\n" + empty));
        home.answers.insert("/jump", answer("302 Found", "Location: " + foreign.origin().toUtf8() + "/ok\r\n" + empty));
        foreign.answers.insert("/ok", okAnswer("{}"));
        MemorySecretStore secrets;
        const auto client = clientOf(home, &secrets);
        QVERIFY(client);
        QCOMPARE(runTask(client->signIn(QStringLiteral("pw"))), Status());
        QCOMPARE(client->token(), std::optional<QString>(QStringLiteral("tok")));

        if (!target.contains(QLatin1Char('/'))) {
            runTask(client->request({.path = target}));
        } else {
            const QString origin = target.startsWith(QLatin1String("home")) ? home.origin() : foreign.origin();
            const QUrl url(origin + QLatin1Char('/') + target.section(QLatin1Char('/'), 1));
            std::unique_ptr<QNetworkReply> reply(client->network()->get(client->authorizedRequest(url)));
            QEventLoop loop;
            connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        const QList<QByteArray> &heads = receiver == QLatin1String("home") ? home.heads : foreign.heads;
        const QByteArray last = heads.isEmpty() ? QByteArray() : heads.last();
        QCOMPARE(last.contains("authorization: bearer tok"), credentials);
        QCOMPARE(last.contains("frigate_token=tok"), credentials);
        if (credentials)
            QVERIFY(last.startsWith("get /ok "));
    }

    void downloads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("existing"); // files in the folder before, each holding "old"
        QTest::addColumn<int>("fileSizeLimit"); // bytes this process may write to one file, 0: no limit
        QTest::addColumn<QString>("saved");     // the file that holds the clip, empty: an error
        QTest::addColumn<int>("error");         // FrigateError::Kind, -1: none
        const QStringList taken{"clip.mp4", "clip (2).mp4"};
        QTest::newRow("fresh name") << "clip" << QStringList{} << 0 << "clip.mp4" << -1;
        QTest::newRow("taken names stay") << "clip" << taken << 0 << "clip (3).mp4" << -1;
        QTest::newRow("server error") << "error" << taken << 0 << "" << int(FrigateError::Kind::Http);
        QTest::newRow("body cut short") << "short" << taken << 0 << "" << int(FrigateError::Kind::Unreachable);
        QTest::newRow("disk refuses") << "clip" << taken << 65536 << "" << int(FrigateError::Kind::LocalFile);
        QTest::newRow("disk refuses the last flush") << "small" << taken << 4096 << "" << int(FrigateError::Kind::LocalFile);
    }
    void downloads()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, existing);
        QFETCH(int, fileSizeLimit);
        QFETCH(QString, saved);
        const QByteArray clip(300'000, 'v');
        ScriptedServer server;
        server.answers.insert("/clip", okAnswer(clip));
        server.answers.insert("/small", okAnswer(clip.left(10'000)));
        server.answers.insert("/short", answer("200 OK", "Content-Length: 300000\r\n", clip.left(1000)));
        server.answers.insert("/error", answer("500 Internal Server Error", "Content-Length: 0\r\n"));
        QTemporaryDir folder;
        for (const QString &name : existing) {
            QFile old(folder.filePath(name));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        const auto client = clientOf(server, nullptr);
        QVERIFY(client);

        std::optional<FileSizeLimit> limit;
        if (fileSizeLimit)
            QVERIFY(limit.emplace(rlim_t(fileSizeLimit)).applied());
        const auto outcome = runTask(client->downloadToFile(path, folder.path(), QStringLiteral("clip.mp4")));
        limit.reset();

        QTEST(outcome.ok() ? -1 : int(outcome.error().kind()), "error");
        QStringList expected = existing;
        if (outcome.ok()) {
            QCOMPARE(outcome.value(), folder.filePath(saved));
            QFile file(outcome.value());
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == clip);
            expected << saved;
        }
        expected.sort();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        for (const QString &name : existing) {
            QFile old(folder.filePath(name));
            QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
        }
    }

    void probing_data()
    {
        QTest::addColumn<QString>("internal"); // %1 = the server's host:port, %2 = a dead port, %3 = a silent one
        QTest::addColumn<QString>("external");
        QTest::addColumn<int>("versionStatus"); // fault on the first probe, 0 for none
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("probes");
        const int local = int(ConnectionMode::Local);
        const int remote = int(ConnectionMode::Remote);
        QTest::newRow("local answers") << "%1" << "" << 0 << local << 1;
        QTest::newRow("dead local, both schemes, then remote") << "%2" << "http://%1" << 0 << remote << 1;
        QTest::newRow("silent local times out, then remote") << "http://%3" << "%1" << 0 << remote << 1;
        QTest::newRow("empty local goes to remote") << "" << "%1" << 0 << remote << 1;
        QTest::newRow("400 is unreachable") << "%1" << "http://%1" << 400 << remote << 2;
        QTest::newRow("401 is reachable") << "%1" << "" << 401 << local << 1;
        QTest::newRow("nothing configured") << "" << "" << 0 << int(ConnectionMode::None) << 0;
        QTest::newRow("nothing answers") << "%2" << "%2" << 0 << int(ConnectionMode::None) << 0;
    }
    void probing()
    {
        QFETCH(QString, internal);
        QFETCH(QString, external);
        QFETCH(int, versionStatus);
        QFETCH(int, mode);
        QTcpServer dead;
        QVERIFY(dead.listen(QHostAddress::LocalHost));
        const QString deadPort = QString::number(dead.serverPort());
        dead.close();
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Rig rig;
        QVERIFY(rig.server.start({.auth = false}));
        const auto fill = [&](QString text) {
            return text.replace("%1", rig.server.hostPort())
                .replace("%2", "127.0.0.1:" + deadPort)
                .replace("%3", "127.0.0.1:" + QString::number(silent.serverPort()));
        };
        QVERIFY(rig.start({.auth = false}, fill(internal), fill(external)));
        if (versionStatus)
            rig.server.addFault({{"path", "^/api/version$"}, {"status", versionStatus}, {"times", 1}});

        QCOMPARE(runTask(rig.client->findServer()), mode != int(ConnectionMode::None));
        QCOMPARE(int(rig.client->mode()), mode);
        const QJsonArray logged = rig.server.requestsTo(QStringLiteral("/api/version"));
        QTEST(int(logged.size()), "probes");
        for (const QJsonValue &probe : logged)
            QVERIFY(probe[u"headers"].isObject() && probe[u"headers"][u"authorization"].isUndefined());
    }

    // Pins are taken on first use for the server's own hosts only, kept per host and port, and
    // forgotten per host whatever its case. Replacing a certificate is followed in the model's tests.
    void certificatePins()
    {
        Rig rig;
        QVERIFY(rig.start({.tls = true}) && rig.connect());
        const QString key = ServerTrust::pinKey(QStringLiteral("127.0.0.1"), rig.server.port());
        QCOMPARE(rig.preferences.keys(), QStringList{key});
        QCOMPARE(rig.preferences.value(key).toString(), rig.server.certificateFingerprint());
        QVERIFY(runTask(FrigateApi::fetchStats(*rig.client)));

        for (const auto &[host, port] : {std::pair{"nvr.lan", 8971}, {"nvr.lan", 443}, {"nvr.lane", 443}})
            rig.preferences.setValue(ServerTrust::pinKey(QLatin1String(host), port), QStringLiteral("aa"));
        rig.trust.forgetHost(QStringLiteral("Nvr.Lan"));
        rig.trust.forgetHost(QStringLiteral("127.0.0.1"));
        const QStringList kept{ServerTrust::pinKey(QStringLiteral("nvr.lane"), 443)};
        QCOMPARE(rig.preferences.keys(), kept);
        rig.trust.setServerURLs({QStringLiteral("https://nvr.example.org")});
        rig.client->network()->clearConnectionCache();
        QVERIFY(!runTask(rig.client->findServer()));
        QVERIFY(!rig.client->certificateChanged());
        QCOMPARE(rig.preferences.keys(), kept);
    }

    // What one answer becomes: the version text, or the message of the error.
    void answers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("expected");
        const auto text = [](const QString &body) { return QJsonObject{{"body", body}, {"content_type", "text/plain"}}; };
        QTest::newRow("version padded") << "version" << text("  0.14.0\n") << "0.14.0";
        QTest::newRow("version too long") << "version" << text(QString(41, u'1')) << "";
        QTest::newRow("dropped") << "config" << QJsonObject{{"drop", true}} << "Frigate server unreachable.";
        QTest::newRow("not JSON") << "config" << text("<html>") << "Invalid response from server: invalid JSON";
        QTest::newRow("bad gateway") << "config" << QJsonObject{{"status", 502}} << "Server error (HTTP 502).";
        QTest::newRow("huge") << "config" << QJsonObject{{"huge", 200'000'000}}
                              << "Invalid response from server: the answer is larger than 32 MB";
    }
    void answers()
    {
        QFETCH(QString, path);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, expected);
        Rig rig;
        QVERIFY(rig.start({}) && rig.connect());
        fault.insert("path", "^/api/" + path + '$');
        rig.server.addFault(fault);
        if (path == QLatin1String("version")) {
            QCOMPARE(runTask(rig.client->fetchVersion()).value_or(QString()), expected);
            return;
        }
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QCOMPARE(config.ok() ? QString() : config.error().message(), expected);
    }
};

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
