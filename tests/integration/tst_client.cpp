#include "FakeFrigate.h"
#include "TaskRunner.h"
#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "client/ServerTrust.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTest>

namespace {
QStringList queryOf(const QJsonValue &logged)
{
    QStringList pairs;
    for (const QJsonValue &pair : logged.toObject().value(QLatin1String("query")).toArray())
        pairs << pair.toArray().at(0).toString() + QLatin1Char('=') + pair.toArray().at(1).toString();
    return pairs;
}

QString header(const QJsonValue &logged, const char *name)
{
    return logged.toObject().value(QLatin1String("headers")).toObject().value(QLatin1String(name)).toString();
}

QJsonObject bodyOf(const QJsonValue &logged)
{
    return QJsonDocument::fromJson(logged.toObject().value(QLatin1String("body")).toString().toUtf8()).object();
}
} // namespace

// One client wired like the application wires it, against one fake server.
struct Rig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    FakeFrigate server;
    std::unique_ptr<FrigateClient> client;
    ServerSettings settings;

    bool start(const FakeFrigateOptions &options, const QString &internal = {}, const QString &external = {})
    {
        if (!server.start(options))
            return false;
        settings.username = options.auth ? options.user : QString();
        settings.internalURL = internal.isNull() ? server.baseUrl() : internal;
        settings.externalURL = external;
        client = std::make_unique<FrigateClient>(settings, &secrets, &trust);
        return true;
    }
    QString secret(const char *kind) { return runTask(secrets.readSecret(QLatin1String(kind) + QLatin1Char('.') + settings.idText())).value_or(QString()); }
    void setSecret(const char *kind, const QString &value) { runTask(secrets.writeSecret(value, QLatin1String(kind) + QLatin1Char('.') + settings.idText())); }
    bool connect()
    {
        return runTask(client->findServer()) && !runTask(client->signIn(server.options().password));
    }
};

class TestClient : public QObject
{
    Q_OBJECT
private slots:
    void versions_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("0.14") << "0.14";
        QTest::newRow("0.15") << "0.15";
        QTest::newRow("0.16") << "0.16";
    }

    void signInKeepsTokenAndUsesIt_data() { versions_data(); }
    void signInKeepsTokenAndUsesIt()
    {
        QFETCH(QString, version);
        Rig rig;
        QVERIFY(rig.start({.version = version}));
        QVERIFY(!rig.client->signInCookie());
        QVERIFY(runTask(rig.client->findServer()));
        QCOMPARE(rig.client->mode(), ConnectionMode::Local);

        QCOMPARE(runTask(rig.client->signIn(QStringLiteral("secret"))), Status());
        QVERIFY(rig.client->token());
        QCOMPARE(rig.secret("token"), *rig.client->token());
        QCOMPARE(rig.client->signInCookie()->value(), rig.client->token()->toUtf8());

        const auto version_text = runTask(rig.client->fetchVersion());
        QVERIFY(version_text && version_text->startsWith(version));
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(config.ok());
        QVERIFY(!config.value().cameras.isEmpty());
        const QJsonArray logged = rig.server.requestsTo(QStringLiteral("/api/config"));
        QCOMPARE(logged.size(), 1);
        QCOMPARE(header(logged.at(0), "authorization"), QStringLiteral("Bearer ") + *rig.client->token());
    }

    void signInFailures_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("forcedStatus"); // 0: the server decides
        QTest::addColumn<QString>("expected"); // message, or "ok"
        QTest::addColumn<bool>("tokenAfter");
        QTest::newRow("0.14 bad password is 400") << "0.14" << "wrong" << 0 << "Invalid username or password." << false;
        QTest::newRow("0.16 bad password is 401") << "0.16" << "wrong" << 0 << "Invalid username or password." << false;
        QTest::newRow("403") << "0.16" << "secret" << 403 << "Invalid username or password." << false;
        QTest::newRow("rate limited") << "0.15" << "secret" << 429 << "Too many login attempts: try again in a minute." << false;
        QTest::newRow("no sign-in on server") << "0.16" << "secret" << 404 << "ok" << false;
        QTest::newRow("200 without cookie") << "0.16" << "secret" << 200 << "ok" << false;
        QTest::newRow("server error") << "0.15" << "secret" << 500 << "Server error (HTTP 500)." << false;
    }
    void signInFailures()
    {
        QFETCH(QString, version);
        QFETCH(QString, password);
        QFETCH(int, forcedStatus);
        QFETCH(QString, expected);
        QFETCH(bool, tokenAfter);
        Rig rig;
        QVERIFY(rig.start({.version = version}));
        rig.setSecret("token", QStringLiteral("stale-token"));
        QVERIFY(runTask(rig.client->findServer()));
        QCOMPARE(rig.client->token(), std::optional<QString>(QStringLiteral("stale-token")));
        if (forcedStatus)
            rig.server.addFault({{"path", "^/api/login$"}, {"status", forcedStatus}, {"body", "{}"}});

        const Status outcome = runTask(rig.client->signIn(password));
        QCOMPARE(outcome ? outcome->message() : QStringLiteral("ok"), expected);
        if (expected == QLatin1String("ok")) {
            QCOMPARE(rig.client->token().has_value(), tokenAfter);
            QVERIFY(rig.secret("token").isEmpty());
        }
    }

    void versionText_data()
    {
        QTest::addColumn<QJsonValue>("reported");
        QTest::addColumn<QString>("expected"); // empty: no version
        QTest::addColumn<bool>("supported");
        QTest::newRow("old server") << QJsonValue("0.13.2") << "0.13.2" << false;
        QTest::newRow("padded") << QJsonValue("  0.14.0\n") << "0.14.0" << true;
        QTest::newRow("empty") << QJsonValue("") << "" << true;
        QTest::newRow("too long") << QJsonValue(QString(41, QLatin1Char('1'))) << "" << true;
    }
    void versionText()
    {
        QFETCH(QJsonValue, reported);
        QFETCH(QString, expected);
        QFETCH(bool, supported);
        Rig rig;
        QVERIFY(rig.start({.version = QStringLiteral("0.15")}));
        QVERIFY(rig.connect());
        rig.server.configure({{"version_text", reported}});
        const auto version = runTask(rig.client->fetchVersion());
        QCOMPARE(version.value_or(QString()), expected);
        QCOMPARE(!version || FrigateClient::isSupportedVersion(*version), supported);
    }

    void reSignInOnceOn401()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        rig.setSecret("token", QStringLiteral("expired.jwt.token"));
        rig.setSecret("password", QStringLiteral("secret"));
        QVERIFY(runTask(rig.client->findServer()));

        QVERIFY(runTask(FrigateApi::loadConfig(*rig.client)).ok());
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), 1);
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/config")).size(), 2);
        QVERIFY(rig.secret("token") != QLatin1String("expired.jwt.token"));
    }

    void reSignInNeverLoops()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        rig.setSecret("password", QStringLiteral("secret"));
        QVERIFY(runTask(rig.client->findServer()));
        rig.server.addFault({{"path", "^/api/config$"}, {"status", 401}});

        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(!config.ok());
        QCOMPARE(config.error(), FrigateError::unauthorized());
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), 1);
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/config")).size(), 2);
    }

    void noReSignInWithin20Seconds()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        QDateTime now = QDateTime::currentDateTimeUtc();
        rig.client->setClock([&now] { return now; });
        QVERIFY(rig.connect());
        rig.setSecret("password", QStringLiteral("secret"));
        rig.server.addFault({{"path", "^/api/stats$"}, {"status", 401}});
        rig.server.clearRequests();

        now = now.addSecs(20);
        QVERIFY(!runTask(FrigateApi::fetchStats(*rig.client)));
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), 0);

        now = now.addSecs(1);
        QVERIFY(!runTask(FrigateApi::fetchStats(*rig.client)));
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/login")).size(), 1);
    }

    void probing_data()
    {
        QTest::addColumn<QString>("internal"); // %1 = the server's host:port, %2 = a dead port
        QTest::addColumn<QString>("external");
        QTest::addColumn<int>("versionStatus"); // fault on the first probe, 0 for none
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("probes");
        QTest::newRow("local answers") << "%1" << "" << 0 << int(ConnectionMode::Local) << 1;
        QTest::newRow("dead local, both schemes, then remote") << "%2" << "http://%1" << 0 << int(ConnectionMode::Remote) << 1;
        QTest::newRow("empty local goes to remote") << "" << "%1" << 0 << int(ConnectionMode::Remote) << 1;
        QTest::newRow("400 is unreachable") << "%1" << "http://%1" << 400 << int(ConnectionMode::Remote) << 2;
        QTest::newRow("401 is reachable") << "%1" << "" << 401 << int(ConnectionMode::Local) << 1;
        QTest::newRow("404 is reachable") << "%1" << "" << 404 << int(ConnectionMode::Local) << 1;
        QTest::newRow("nothing configured") << "" << "" << 0 << int(ConnectionMode::None) << 0;
        QTest::newRow("nothing answers") << "%2" << "%2" << 0 << int(ConnectionMode::None) << 0;
    }
    void probing()
    {
        QFETCH(QString, internal);
        QFETCH(QString, external);
        QFETCH(int, versionStatus);
        QFETCH(int, mode);
        QFETCH(int, probes);
        QTcpServer dead;
        QVERIFY(dead.listen(QHostAddress::LocalHost));
        const QString deadAddress = QStringLiteral("127.0.0.1:%1").arg(dead.serverPort());
        dead.close();

        Rig rig;
        QVERIFY(rig.server.start({.auth = false}));
        const auto fill = [&](QString text) { return text.replace("%1", rig.server.hostPort()).replace("%2", deadAddress); };
        rig.settings.internalURL = fill(internal);
        rig.settings.externalURL = fill(external);
        rig.client = std::make_unique<FrigateClient>(rig.settings, &rig.secrets, &rig.trust);
        if (versionStatus)
            rig.server.addFault({{"path", "^/api/version$"}, {"status", versionStatus}, {"times", 1}});

        const bool found = runTask(rig.client->findServer());
        QCOMPARE(found, mode != int(ConnectionMode::None));
        QCOMPARE(int(rig.client->mode()), mode);
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/version")).size(), probes);
        for (const QJsonValue &probe : rig.server.requestsTo(QStringLiteral("/api/version")))
            QVERIFY(header(probe, "authorization").isEmpty());
    }

    void silentLocalTimesOutAfterTwoAndAHalfSeconds()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Rig rig;
        QVERIFY(rig.start({.auth = false}, QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()),
                          QString()));
        rig.settings.externalURL = rig.server.baseUrl();
        rig.client->updateSettings(rig.settings);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(runTask(rig.client->findServer()));
        QCOMPARE(rig.client->mode(), ConnectionMode::Remote);
        QVERIFY2(clock.elapsed() >= 2000 && clock.elapsed() < 7000, qPrintable(QString::number(clock.elapsed())));
    }

    void certificatePinning()
    {
        Rig rig;
        QVERIFY(rig.start({.tls = true}));
        const QString key = ServerTrust::pinKey(QStringLiteral("127.0.0.1"), rig.server.port());
        QVERIFY(!rig.preferences.contains(key));

        QVERIFY(rig.connect());
        QCOMPARE(rig.preferences.value(key).toString(), rig.server.certificateFingerprint());
        QVERIFY(runTask(FrigateApi::fetchStats(*rig.client)));

        rig.server.replaceCertificate();
        QVERIFY(!runTask(FrigateApi::fetchStats(*rig.client)));
        QVERIFY(!runTask(rig.client->findServer()));
        QVERIFY(rig.client->certificateChanged());
        QCOMPARE(rig.client->mode(), ConnectionMode::None);

        // Saving the server again forgets the pin; the next connection pins the new certificate.
        rig.trust.forgetHost(QStringLiteral("127.0.0.1"));
        QVERIFY(runTask(rig.client->findServer()));
        QVERIFY(!rig.client->certificateChanged());
        QCOMPARE(rig.preferences.value(key).toString(), rig.server.certificateFingerprint());
        QVERIFY(runTask(FrigateApi::fetchStats(*rig.client)));
    }

    void foreignHostIsNotPinned()
    {
        Rig rig;
        QVERIFY(rig.start({.tls = true}));
        rig.trust.setServerURLs({QStringLiteral("https://nvr.example.org")});
        QVERIFY(!runTask(rig.client->findServer()));
        QVERIFY(!rig.client->certificateChanged());
        QVERIFY(rig.preferences.keys().isEmpty());
    }

    void pinsArePerPortAndCaseInsensitive()
    {
        MemoryPreferencesStore preferences;
        ServerTrust trust(&preferences);
        trust.setServerURLs({QStringLiteral("NVR.lan:8971"), QStringLiteral("https://nvr.lan")});
        preferences.setValue(ServerTrust::pinKey(QStringLiteral("nvr.lan"), 8971), QStringLiteral("aa"));
        preferences.setValue(ServerTrust::pinKey(QStringLiteral("nvr.lan"), 443), QStringLiteral("bb"));
        preferences.setValue(ServerTrust::pinKey(QStringLiteral("nvr.lane"), 443), QStringLiteral("cc"));
        trust.forgetHost(QStringLiteral("Nvr.Lan"));
        QCOMPARE(preferences.keys(), QStringList{ServerTrust::pinKey(QStringLiteral("nvr.lane"), 443)});
    }

    void hugeBodyIsRefused()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        QVERIFY(rig.connect());
        rig.server.addFault({{"path", "^/api/config$"}, {"huge", 200'000'000}});
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(!config.ok());
        QCOMPARE(config.error().kind(), FrigateError::Kind::Decoding);
        QVERIFY(config.error().message().contains(QLatin1String("larger than")));
    }

    void transportFailures_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("dropped") << QJsonObject{{"drop", true}} << "Frigate server unreachable.";
        QTest::newRow("not JSON") << QJsonObject{{"body", "<html>"}, {"content_type", "text/html"}}
                                  << "Invalid response from server: invalid JSON";
        QTest::newRow("not an object") << QJsonObject{{"body", "[1,2]"}} << "Invalid response from server: configurazione";
        QTest::newRow("bad gateway") << QJsonObject{{"status", 502}} << "Server error (HTTP 502).";
    }
    void transportFailures()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        Rig rig;
        QVERIFY(rig.start({}));
        QVERIFY(rig.connect());
        fault.insert("path", "^/api/config$");
        rig.server.addFault(fault);
        const auto config = runTask(FrigateApi::loadConfig(*rig.client));
        QVERIFY(!config.ok());
        QCOMPARE(config.error().message(), message);
    }

    void markingUsesWhatTheServerUnderstands_data() { versions_data(); }
    void markingUsesWhatTheServerUnderstands()
    {
        QFETCH(QString, version);
        Rig rig;
        QVERIFY(rig.start({.version = version}));
        QVERIFY(rig.connect());
        runTask(rig.client->fetchVersion());
        const auto reviews = runTask(FrigateApi::fetchReviews(*rig.client, {.reviewed = true, .limit = 500}));
        QVERIFY(reviews.ok());
        QVERIFY(reviews.value().size() >= 2);
        const QStringList ids{reviews.value().at(0).id, reviews.value().at(1).id};

        QCOMPARE(runTask(FrigateApi::markReviewedChunk(*rig.client, ids, true)), Status());
        const QJsonArray posts = rig.server.requestsTo(QStringLiteral("/api/reviews/viewed"));
        QCOMPARE(posts.size(), 1);
        QCOMPARE(bodyOf(posts.at(0)).value("ids").toArray().size(), 2);
        QCOMPARE(bodyOf(posts.at(0)).value("reviewed").toBool(), true);
        QVERIFY(rig.server.state().value("reviewed").toArray().contains(ids.at(0)));

        QCOMPARE(runTask(FrigateApi::markReviewedChunk(*rig.client, ids, false)), Status());
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/reviews/viewed")).size(), 1);
        QCOMPARE(rig.server.requestsTo(QStringLiteral("/api/review/%1/viewed").arg(ids.at(0))).size(), 1);
        const QJsonArray reviewedNow = rig.server.state().value("reviewed").toArray();
        QVERIFY(!reviewedNow.contains(ids.at(0)));
        QVERIFY(!reviewedNow.contains(ids.at(1)));
    }

    void summaryBypassesTheCacheWhenAsked()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        QVERIFY(rig.connect());
        QVERIFY(runTask(FrigateApi::fetchReviewSummary(*rig.client, false)));
        QVERIFY(runTask(FrigateApi::fetchReviewSummary(*rig.client, true)));
        const QJsonArray logged = rig.server.requestsTo(QStringLiteral("/api/review/summary"));
        QCOMPARE(logged.size(), 2);
        QVERIFY(header(logged.at(0), "x-cache-bypass").isEmpty());
        QCOMPARE(header(logged.at(1), "x-cache-bypass"), QStringLiteral("1"));
        QVERIFY(queryOf(logged.at(0)).first().startsWith(QLatin1String("timezone=")));
    }

    void trackedObjectsAskForTwelveDetectionsAtMost()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        QVERIFY(rig.connect());
        const auto reviews = runTask(FrigateApi::fetchReviews(*rig.client, {.reviewed = true, .limit = 100}));
        QVERIFY(reviews.ok());
        ReviewItem item;
        for (const ReviewItem &candidate : reviews.value()) {
            if (!candidate.data.detections.isEmpty() && candidate.end_time) {
                item = candidate;
                break;
            }
        }
        QVERIFY(!item.id.isEmpty());
        const QString real = item.data.detections.first();
        for (int i = 0; i < 14; ++i)
            item.data.detections << QStringLiteral("missing-%1").arg(i);

        const auto tracks = runTask(FrigateApi::fetchTrackedObjects(*rig.client, item, {}));
        QCOMPARE(tracks.size(), 1);
        QCOMPARE(tracks.first().id, real);
        QVERIFY(tracks.first().samples.size() >= 2);
        int eventRequests = 0;
        for (const QJsonValue &logged : rig.server.requests())
            eventRequests += logged.toObject().value("path").toString().startsWith(QLatin1String("/api/events/"));
        QCOMPARE(eventRequests, 12);
        const QJsonArray timeline = rig.server.requestsTo(QStringLiteral("/api/timeline"));
        QCOMPARE(queryOf(timeline.at(0)), (QStringList{"source_id=" + real, "limit=500"}));
    }

    void downloadStreamsToTheTemporaryFolder()
    {
        Rig rig;
        QVERIFY(rig.start({}));
        QVERIFY(rig.connect());
        const auto file = runTask(rig.client->downloadToFile(QStringLiteral("api/config"), QStringLiteral("kestrova-test.json")));
        QVERIFY(file.ok());
        QFile saved(file.value().toLocalFile());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(QJsonDocument::fromJson(saved.readAll()).isObject());
        saved.remove();

        rig.server.addFault({{"path", "^/api/config$"}, {"status", 500}});
        const auto failed = runTask(rig.client->downloadToFile(QStringLiteral("api/config"), QStringLiteral("kestrova-test.json")));
        QVERIFY(!failed.ok());
        QVERIFY(!QFile::exists(saved.fileName()));
    }
};

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
