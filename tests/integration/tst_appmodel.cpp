#include "FakeFrigate.h"
#include "ManualPollingClock.h"
#include "TaskRunner.h"
#include "client/ServerTrust.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"
#include "state/ServerList.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QString SummaryPath = QStringLiteral("/api/review/summary");
const QString StatsPath = QStringLiteral("/api/stats");
const QString LogsPath = QStringLiteral("/api/logs/frigate");
const QString ViewedPath = QStringLiteral("/api/reviews/viewed");

QJsonObject bodyOf(const QJsonValue &logged)
{
    return QJsonDocument::fromJson(logged.toObject().value(QLatin1String("body")).toString().toUtf8()).object();
}

QString header(const QJsonValue &logged, const char *name)
{
    return logged.toObject().value(QLatin1String("headers")).toObject().value(QLatin1String(name)).toString();
}

QString json(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A summary whose every day holds `alerts` unreviewed alerts and no detections.
QString summaryOf(int alerts)
{
    return json({{"last24Hours", QJsonObject{{"total_alert", 99}, {"reviewed_alert", 0}}},
                 {"2024-06-11", QJsonObject{{"total_alert", alerts}, {"reviewed_alert", 0}}}});
}

QJsonObject bodyFault(const QString &path, const QString &body, double delay = 0)
{
    QJsonObject fault{{"path", QLatin1Char('^') + path + QLatin1Char('$')}, {"body", body}, {"times", 1}};
    if (delay > 0)
        fault.insert("delay", delay);
    return fault;
}

QString deadAddress()
{
    QTcpServer listener;
    listener.listen(QHostAddress::LocalHost);
    return QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort());
}

// Adds a line to one of the fake server's service logs.
bool appendLog(const FakeFrigate &server, const QJsonObject &line)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(server.baseUrl() + QStringLiteral("/__control/logs")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply *reply = network.post(request, QJsonDocument(line).toJson());
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
        return false;
    reply->deleteLater();
    return reply->error() == QNetworkReply::NoError;
}

QStringList namesOf(const QList<CameraInfo> &cameras)
{
    QStringList names;
    for (const CameraInfo &camera : cameras)
        names.append(camera.name);
    return names;
}

// One model wired as the application wires it, over memory stores and a hand-driven clock.
struct Rig
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    FakeFrigate server;
    std::unique_ptr<AppModel> model;

    bool startServer(const FakeFrigateOptions &options = {}) { return server.start(options); }

    ServerSettings serverSettings(const QString &internal = {}, const QString &external = {}) const
    {
        ServerSettings settings;
        settings.serverName = QStringLiteral("fake");
        settings.internalURL = internal.isNull() ? server.baseUrl() : internal;
        settings.externalURL = external;
        settings.username = server.options().auth ? server.options().user : QString();
        return settings;
    }

    void startModel(const ServerList &list)
    {
        saveServerList(preferences, list);
        model = std::make_unique<AppModel>(&preferences, &secrets, &trust, &clock);
        runTask(model->initialize());
    }

    void startModelWith(const ServerSettings &settings)
    {
        ServerList list;
        list.servers = {settings};
        startModel(list);
    }

    void setSecret(const QString &account, const QString &value) { runTask(secrets.writeSecret(value, account)); }
    std::optional<QString> secret(const QString &account) { return runTask(secrets.readSecret(account)); }

    // Connects and waits until the first polling pass has finished.
    bool connect(std::optional<QString> password = std::nullopt)
    {
        if (!password && server.options().auth)
            password = server.options().password;
        runTask(model->connect(password));
        return model->isLoggedIn() && settle();
    }

    bool settle() { return QTest::qWaitFor([this] { return clock.pending(5s) == 1; }, 10000); }

    qsizetype count(const QString &path) { return server.requestsTo(path).size(); }
};

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT
private slots:
    void bootstrapConnectsOnlyWhenItMay_data()
    {
        QTest::addColumn<int>("serverCount");
        QTest::addColumn<bool>("autoConnect");
        QTest::addColumn<int>("defaultIndex"); // -1: none
        QTest::addColumn<bool>("withUser");
        QTest::addColumn<bool>("passwordSaved");
        QTest::addColumn<int>("expectedIndex"); // -1: nothing connects

        QTest::newRow("one server, auto-connect off, no user name") << 1 << false << -1 << false << false << 0;
        QTest::newRow("one server, auto-connect off, saved password") << 1 << false << -1 << true << true << 0;
        QTest::newRow("one server, user name without password") << 1 << false << -1 << true << false << -1;
        QTest::newRow("auto-connect on, no default, two servers") << 2 << true << -1 << false << false << -1;
        QTest::newRow("auto-connect on, default set") << 2 << true << 1 << false << false << 1;
        QTest::newRow("auto-connect off, default set, two servers") << 2 << false << 1 << false << false << -1;
        QTest::newRow("auto-connect on, default needs a password") << 2 << true << 0 << true << false << -1;
    }

    void bootstrapConnectsOnlyWhenItMay()
    {
        QFETCH(int, serverCount);
        QFETCH(bool, autoConnect);
        QFETCH(int, defaultIndex);
        QFETCH(bool, withUser);
        QFETCH(bool, passwordSaved);
        QFETCH(int, expectedIndex);

        Rig rig;
        QVERIFY(rig.startServer({.auth = withUser}));
        ServerList list;
        for (int index = 0; index < serverCount; ++index)
            list.servers.append(rig.serverSettings());
        list.autoConnect = autoConnect;
        if (defaultIndex >= 0)
            list.defaultID = list.servers.at(defaultIndex).id;
        if (passwordSaved) {
            for (const ServerSettings &server : std::as_const(list.servers))
                rig.setSecret(StateKeys::passwordAccount(server.id), rig.server.options().password);
        }
        rig.startModel(list);

        runTask(rig.model->bootstrap());
        if (expectedIndex < 0) {
            QVERIFY(!rig.model->isLoggedIn());
            QCOMPARE(rig.server.requests().size(), 0);
            return;
        }
        QVERIFY2(rig.model->isLoggedIn(), qPrintable(rig.model->lastError().value_or(QString())));
        QCOMPARE(rig.model->settings().id, list.servers.at(expectedIndex).id);

        // It runs once per launch.
        rig.model->disconnect();
        rig.server.clearRequests();
        runTask(rig.model->bootstrap());
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/version"), 0);
    }

    void connectLoadsConfigurationInStoredOrder_data()
    {
        QTest::addColumn<QStringList>("storedOrder");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("server's ui order") << QStringList() << QStringList{"driveway", "front_door", "back_yard"};
        QTest::newRow("stored order first")
            << QStringList{"back_yard"} << QStringList{"back_yard", "driveway", "front_door"};
    }

    void connectLoadsConfigurationInStoredOrder()
    {
        QFETCH(QStringList, storedOrder);
        QFETCH(QStringList, expected);

        Rig rig;
        QVERIFY(rig.startServer());
        const ServerSettings settings = rig.serverSettings();
        if (!storedOrder.isEmpty())
            rig.preferences.setValue(StateKeys::serverPreference("cameraOrder", settings.id), storedOrder);
        rig.startModelWith(settings);

        QVERIFY(rig.connect());
        QCOMPARE(namesOf(rig.model->cameras()), expected);
        QCOMPARE(rig.model->groups().size(), 1);
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::Local);
        QCOMPARE(rig.model->property("connectionMode").toString(), QStringLiteral("local"));
        QCOMPARE(rig.model->property("addressInUse").toString(), rig.server.baseUrl());
        QVERIFY(!rig.model->isConnecting());
        QVERIFY(rig.model->stats().has_value());
        QCOMPARE(rig.model->property("cameras").toList().first().toMap().value("name").toString(), expected.first());
        // A typed password that signed in is kept for the next launch.
        QCOMPARE(rig.secret(StateKeys::passwordAccount(settings.id)), std::optional(rig.server.options().password));
    }

    void serverVersionGate_data()
    {
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<QString>("expectedError"); // empty: accepted
        QTest::newRow("0.13.2 refused")
            << "0.13.2" << "Frigate 0.13.2 is not supported: version 0.14 or later is required.";
        QTest::newRow("0.14.0 accepted") << "0.14.0" << QString();
        QTest::newRow("1.0 accepted") << "1.0" << QString();
        QTest::newRow("no version does not block") << "" << QString();
    }

    void serverVersionGate()
    {
        QFETCH(QString, versionText);
        QFETCH(QString, expectedError);

        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.server.configure({{"version_text", versionText}});
        rig.startModelWith(rig.serverSettings());
        runTask(rig.model->connect(std::nullopt));

        QCOMPARE(rig.model->isLoggedIn(), expectedError.isEmpty());
        QCOMPARE(rig.model->lastError().value_or(QString()), expectedError);
        QCOMPARE(rig.model->property("lastError").toString(), expectedError);
        QVERIFY(!rig.model->isConnecting());
        if (!expectedError.isEmpty())
            QVERIFY(!rig.model->isPolling());
    }

    void unreachableAndChangedCertificate()
    {
        Rig rig;
        QVERIFY(rig.startServer({.tls = true, .auth = false}));
        ServerSettings settings = rig.serverSettings();
        rig.startModelWith(settings);
        QVERIFY(rig.connect());

        rig.server.replaceCertificate();
        runTask(rig.model->connect(std::nullopt));
        QCOMPARE(rig.model->lastError(),
                 std::optional<QString>("The server's HTTPS certificate has changed. If you replaced it yourself, edit "
                                        "the server and save it again to accept the new certificate."));
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::None);
        // A failed reconnect leaves the signed-in state alone.
        QVERIFY(rig.model->isLoggedIn());

        // Saving the server again accepts the new certificate.
        rig.model->saveServer(settings);
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(!rig.model->lastError());
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::Local);

        settings.internalURL = deadAddress();
        rig.model->disconnect();
        rig.model->saveServer(settings);
        runTask(rig.model->connect(std::nullopt));
        QCOMPARE(rig.model->lastError(), std::optional<QString>("Frigate server unreachable."));
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::None);
        QVERIFY(!rig.model->isLoggedIn());
    }

    void loginForm_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("right password") << "secret" << QString();
        QTest::newRow("wrong password") << "nope" << "Invalid username or password.";
    }

    void loginForm()
    {
        QFETCH(QString, password);
        QFETCH(QString, expectedError);

        Rig rig;
        QVERIFY(rig.startServer());
        rig.startModel({});
        const QVariantMap fields{{"serverName", " Home "}, {"internalURL", QLatin1Char(' ') + rig.server.baseUrl()},
                                 {"username", "admin "}, {"password", password}};
        QCOMPARE(runTask(rig.model->saveServerAndConnectFields(fields)), expectedError.isEmpty());

        QCOMPARE(rig.model->serverList().servers.size(), 1);
        const ServerSettings stored = rig.model->serverList().servers.first();
        QCOMPARE(rig.model->settings(), stored);
        QCOMPARE(stored.username, QStringLiteral("admin"));
        QCOMPARE(rig.model->lastError().value_or(QString()), expectedError);
        QCOMPARE(rig.secret(StateKeys::passwordAccount(stored.id)).has_value(), expectedError.isEmpty());
        QCOMPARE(rig.secret(StateKeys::tokenAccount(stored.id)).has_value(), expectedError.isEmpty());
    }

    void changedUserNameDoesNotReuseOldSecrets()
    {
        Rig rig;
        QVERIFY(rig.startServer());
        rig.server.configure({{"users", QJsonObject{{"admin", "secret"}, {"viewer", "other"}}}});
        const ServerSettings settings = rig.serverSettings();
        rig.startModelWith(settings);
        QVERIFY(rig.connect());
        rig.model->disconnect();
        rig.server.clearRequests();

        QVariantMap fields{{"id", settings.idText()}, {"internalURL", settings.internalURL}, {"username", "viewer"}};
        runTask(rig.model->saveServerFields(fields));
        runTask(rig.model->connect(std::nullopt));
        // Neither the old token nor the old password may sign the new account in.
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/login"), 0);
        QVERIFY(!rig.secret(StateKeys::passwordAccount(settings.id)));

        runTask(rig.model->connect(std::optional<QString>("other")));
        QVERIFY(rig.model->isLoggedIn());
        const QJsonArray logins = rig.server.requestsTo("/api/login");
        QCOMPARE(logins.size(), 1);
        QCOMPARE(bodyOf(logins.first()).value("user").toString(), QStringLiteral("viewer"));
    }

    void unseenBadgeArithmetic_data()
    {
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("showDetections");
        QTest::addColumn<int>("expected");

        const QJsonObject last24{{"total_alert", 40}, {"reviewed_alert", 0}, {"total_detection", 40}};
        const QString mixed = json({{"last24Hours", last24},
                                    {"2024-06-11", QJsonObject{{"total_alert", 5}, {"reviewed_alert", 2},
                                                               {"total_detection", 9}, {"reviewed_detection", 4}}},
                                    {"2024-06-10", QJsonObject{{"total_alert", " 3 "}, {"reviewed_alert", 1},
                                                               {"total_detection", "x"}}}});
        QTest::newRow("only last24Hours") << json({{"last24Hours", last24}}) << true << 0;
        QTest::newRow("alerts and detections") << mixed << true << 3 + 2 + 5 + 0;
        QTest::newRow("detections hidden") << mixed << false << 3 + 2;
        QTest::newRow("negative day lowers the sum")
            << json({{"2024-06-11", QJsonObject{{"total_alert", 5}, {"reviewed_alert", 1}}},
                     {"2024-06-10", QJsonObject{{"total_alert", 0}, {"reviewed_alert", 3}}}})
            << true << 1;
        QTest::newRow("never below zero")
            << json({{"2024-06-11", QJsonObject{{"total_alert", 1}, {"reviewed_alert", 4}}}}) << true << 0;
        QTest::newRow("entries that are not objects are skipped")
            << json({{"2024-06-11", 12}, {"2024-06-10", QJsonObject{{"total_alert", 2.9}}}}) << true << 2;
    }

    void unseenBadgeArithmetic()
    {
        QFETCH(QString, summary);
        QFETCH(bool, showDetections);
        QFETCH(int, expected);

        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        ServerSettings settings = rig.serverSettings();
        settings.showDetections = showDetections;
        rig.startModelWith(settings);
        QVERIFY(rig.connect());
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(77)));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 77);

        rig.server.addFault(bodyFault(SummaryPath, summary));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), expected);
        QCOMPARE(rig.model->property("unseenCount").toInt(), expected);
    }

    void displayPreferencesApplyAtOnce()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        const ServerSettings settings = rig.serverSettings();
        rig.startModelWith(settings);
        QVERIFY(rig.connect());
        const QString summary = json({{"2024-06-11", QJsonObject{{"total_alert", 2}, {"total_detection", 5}}}});
        rig.server.addFault(bodyFault(SummaryPath, summary));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 7);
        const int revision = rig.model->reviewRevision();
        rig.server.clearRequests();

        rig.server.addFault(bodyFault(SummaryPath, summary));
        rig.model->applyDisplayPreferences(10.0, true, false);
        QCOMPARE(rig.model->settings().gridRefreshSeconds, 10.0);
        QVERIFY(rig.model->settings().liveUsesSubstream);
        QCOMPARE(rig.model->serverList().servers.first(), rig.model->settings());
        QTRY_COMPARE(rig.model->reviewRevision(), revision + 1);
        QCOMPARE(rig.model->unseenCount(), 2);
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/version"), 0);

        // Only a change of the detections switch reloads the lists.
        rig.model->applyDisplayPreferences(5.0, true, false);
        QTest::qWait(200);
        QCOMPARE(rig.model->reviewRevision(), revision + 1);
    }

    void badgeKeepsValueWhenSummaryFails()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(5)));
        runTask(rig.model->refreshUnseenCount(true));
        rig.server.addFault({{"path", "^/api/review/summary$"}, {"status", 500}, {"times", 1}});
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 5);
        rig.server.addFault(bodyFault(SummaryPath, QStringLiteral("[1, 2]")));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 5);
    }

    void markingDropsSummaryInFlight_data()
    {
        QTest::addColumn<bool>("markWhileInFlight");
        QTest::newRow("marked while the summary runs") << true;
        QTest::newRow("nothing marked") << false;
    }

    void markingDropsSummaryInFlight()
    {
        QFETCH(bool, markWhileInFlight);

        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(3)));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 3);

        const qsizetype before = rig.count(SummaryPath);
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(50), 1.0));
        QCoro::Task<> inFlight = rig.model->refreshUnseenCount();
        QTRY_COMPARE(rig.count(SummaryPath), before + 1);
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(7)));
        if (markWhileInFlight)
            runTask(rig.model->markReviewed({QStringLiteral("1718000000.0-abcdef")}, true));
        runTask(std::move(inFlight));

        if (!markWhileInFlight) {
            QCOMPARE(rig.model->unseenCount(), 50);
            return;
        }
        QCOMPARE(rig.model->unseenCount(), 3);
        // The fresh count waits for the clock, then asks past the server's cache.
        QCOMPARE(rig.count(SummaryPath), before + 1);
        rig.clock.advance(2s);
        QTRY_COMPARE(rig.model->unseenCount(), 7);
        const QJsonArray summaries = rig.server.requestsTo(SummaryPath);
        QCOMPARE(summaries.size(), before + 2);
        QCOMPARE(header(summaries.last(), "x-cache-bypass"), QStringLiteral("1"));
    }

    void markReviewedSendsChunks_data()
    {
        QTest::addColumn<int>("idCount");
        QTest::addColumn<bool>("firstChunkFails");
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("450") << 450 << false << QList<int>{200, 200, 50};
        QTest::newRow("450, first chunk refused") << 450 << true << QList<int>{200, 200, 50};
        QTest::newRow("200") << 200 << false << QList<int>{200};
        QTest::newRow("1") << 1 << false << QList<int>{1};
    }

    void markReviewedSendsChunks()
    {
        QFETCH(int, idCount);
        QFETCH(bool, firstChunkFails);
        QFETCH(QList<int>, chunks);

        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        if (firstChunkFails)
            rig.server.addFault({{"path", "^/api/reviews/viewed$"}, {"status", 500}, {"times", 1}});
        QStringList ids;
        for (int index = 0; index < idCount; ++index)
            ids.append(QStringLiteral("1718000000.%1-id").arg(index));
        const int revision = rig.model->reviewRevision();

        runTask(rig.model->markReviewed(ids, true));
        const QJsonArray posts = rig.server.requestsTo(ViewedPath);
        QCOMPARE(posts.size(), chunks.size());
        QStringList sent;
        for (qsizetype index = 0; index < posts.size(); ++index) {
            const QJsonObject body = bodyOf(posts.at(index));
            QCOMPARE(body.value("ids").toArray().size(), chunks.at(index));
            QCOMPARE(body.value("reviewed").toBool(), true);
            for (const QJsonValue &id : body.value("ids").toArray())
                sent.append(id.toString());
        }
        QCOMPARE(sent, ids);
        QCOMPARE(rig.model->reviewRevision(), revision + 1);
        QVERIFY(rig.clock.requested().contains(2000ms));
    }

    void markAllReviewedCollectsUnreviewed()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        FrigateApi::ReviewQuery unreviewed;
        unreviewed.reviewed = false;
        unreviewed.limit = 500;
        const auto open = runTask(rig.model->fetchReviews(unreviewed));
        QVERIFY(open);
        QVERIFY(!open.value().isEmpty());

        runTask(rig.model->markAllReviewed());
        const QJsonArray pages = rig.server.requestsTo("/api/review");
        QVERIFY(!pages.isEmpty());
        QStringList sent;
        for (const QJsonValue &post : rig.server.requestsTo(ViewedPath)) {
            for (const QJsonValue &id : bodyOf(post).value("ids").toArray())
                sent.append(id.toString());
        }
        QCOMPARE(sent.size(), open.value().size());
        const QJsonArray reviewed = rig.server.state().value("reviewed").toArray();
        for (const ReviewItem &item : open.value()) {
            QVERIFY(sent.contains(item.id));
            QVERIFY(reviewed.contains(item.id));
        }
    }

    void logBadgeCountsNewWarnings()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.server.configure({{"json_cache", false}});
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.model->markLogsSeen();
        QCOMPARE(rig.model->statusBadge(), 0);
        QTest::qWait(1100); // log lines carry whole seconds

        for (const char *level : {"ERROR", "WARNING", "INFO"})
            QVERIFY(appendLog(rig.server, {{"service", "frigate"}, {"level", level}, {"message", "camera note"}}));
        runTask(rig.model->refreshLogBadge());
        QCOMPARE(rig.model->statusBadge(), 2);
        rig.model->markLogsSeen();
        QCOMPARE(rig.model->statusBadge(), 0);
        runTask(rig.model->refreshLogBadge());
        QCOMPARE(rig.model->statusBadge(), 0);
    }

    void pollingCadence()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        // The first pass (tick 0) read the summary and the log tail.
        QCOMPARE(rig.count(SummaryPath), 1);
        QCOMPARE(rig.count(LogsPath), 1);
        rig.server.clearRequests();

        for (int pass = 1; pass <= 12; ++pass) {
            rig.clock.advance(5s);
            QVERIFY(rig.settle());
            QCOMPARE(rig.count(StatsPath), pass);
            QCOMPARE(rig.count(SummaryPath), pass / 6);
            QCOMPARE(rig.count(LogsPath), pass / 6);
        }
        QVERIFY(rig.clock.requested().count(5000ms) >= 13);

        // A new connection does not restart the count: the next slow pass is tick 18.
        rig.model->disconnect();
        QVERIFY(!rig.model->stats());
        QVERIFY(rig.connect());
        QCOMPARE(rig.count(SummaryPath), 2);
        for (int pass = 14; pass <= 18; ++pass) {
            rig.clock.advance(5s);
            QVERIFY(rig.settle());
        }
        QCOMPARE(rig.count(SummaryPath), 3);
    }

    void onlyOnePollingLoopRuns()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.model->startPolling();
        rig.model->startPolling();
        QVERIFY(rig.settle());
        QTest::qWait(300);
        QCOMPARE(rig.clock.pending(5s), 1);

        rig.server.clearRequests();
        rig.clock.advance(5s);
        QVERIFY(rig.settle());
        QTest::qWait(300);
        QCOMPARE(rig.count(StatsPath), 1);
    }

    void backgroundStopsPollingAndActiveResumesIt()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());

        rig.model->handleApplicationState(Qt::ApplicationHidden);
        QVERIFY(!rig.model->isPolling());
        QTRY_COMPARE(rig.clock.pending(5s), 0);
        rig.server.clearRequests();
        rig.clock.advance(5s);
        QTest::qWait(300);
        QCOMPARE(rig.count(StatsPath), 0);

        rig.model->handleApplicationState(Qt::ApplicationActive);
        QVERIFY(rig.settle());
        QVERIFY(rig.model->isPolling());
        QCOMPARE(rig.count("/api/version"), 1);
        QCOMPARE(rig.count(StatsPath), 1);

        // Signed out, coming back does nothing.
        rig.model->disconnect();
        rig.server.clearRequests();
        rig.model->handleApplicationState(Qt::ApplicationActive);
        QTest::qWait(300);
        QCOMPARE(rig.server.requests().size(), 0);
        QVERIFY(!rig.model->isPolling());
    }

    void stoppedPollingAppliesNothingLate()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.server.addFault({{"path", "^/api/stats$"}, {"delay", 0.6}, {"times", 1}});
        rig.server.clearRequests();
        rig.clock.advance(5s);
        QTRY_COMPARE(rig.count(StatsPath), 1);
        rig.model->disconnect();
        QTest::qWait(900);
        QVERIFY(!rig.model->stats());
        QCOMPARE(rig.clock.pending(5s), 0);
    }

    void modelGoneWhileRequestsRun()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        rig.startModelWith(rig.serverSettings());
        QVERIFY(rig.connect());
        rig.server.addFault({{"path", "^/api/(stats|review/summary)$"}, {"delay", 0.5}});
        rig.clock.advance(5s);
        rig.model->markReviewed({QStringLiteral("x")}, true);
        QCoro::Task<> unseen = rig.model->refreshUnseenCount();
        QTest::qWait(150);
        rig.model.reset();
        rig.clock.advance(5s);
        QTest::qWait(800);
        QVERIFY(unseen.isReady());
    }

    void refreshConnectionFollowsTheAddress_data()
    {
        QTest::addColumn<bool>("localLost");
        QTest::newRow("local address lost: remote") << true;
        QTest::newRow("nothing changed") << false;
    }

    void refreshConnectionFollowsTheAddress()
    {
        QFETCH(bool, localLost);

        Rig rig;
        FakeFrigate remote;
        QVERIFY(rig.startServer({.auth = false}));
        QVERIFY(remote.start({.auth = false}));
        rig.startModelWith(rig.serverSettings(rig.server.baseUrl(), remote.baseUrl()));
        QVERIFY(rig.connect());
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::Local);
        const int revision = rig.model->reviewRevision();

        if (localLost)
            rig.server.stop();
        runTask(rig.model->refreshConnection());
        QCOMPARE(rig.model->connectionMode(), localLost ? ConnectionMode::Remote : ConnectionMode::Local);
        QCOMPARE(rig.model->property("connectionModeName").toString(),
                 localLost ? QStringLiteral("Remote access") : QStringLiteral("Local network"));
        QCOMPARE(rig.model->reviewRevision(), revision + (localLost ? 1 : 0));
        QVERIFY(rig.settle());
        if (localLost)
            QTRY_COMPARE(remote.requestsTo(StatsPath).size(), 1);
        QVERIFY(rig.model->isLoggedIn());
    }

    void aspectsProbedOncePerCamera()
    {
        Rig rig;
        QVERIFY(rig.startServer({.auth = false}));
        const ServerSettings settings = rig.serverSettings();
        rig.startModelWith(settings);
        QVERIFY(rig.connect());
        QTRY_COMPARE(rig.model->aspects().size(), 3);
        QCOMPARE(rig.model->aspects().value("front_door"), 1280.0 / 720.0);
        QCOMPARE(rig.model->aspects().value("back_yard"), 640.0 / 480.0);
        const QVariantMap stored =
            rig.preferences.value(StateKeys::serverPreference("aspects", settings.id)).toMap();
        QCOMPARE(stored.value("driveway").toDouble(), 1280.0 / 720.0);

        const QRegularExpression snapshot(QStringLiteral("^/api/[a-z_]+/recordings/\\d+/snapshot\\.(jpg|png)$"));
        const auto snapshots = [&rig, &snapshot] {
            int count = 0;
            for (const QJsonValue &entry : rig.server.requests())
                count += snapshot.match(entry.toObject().value("path").toString()).hasMatch() ? 1 : 0;
            return count;
        };
        QCOMPARE(snapshots(), 3);
        runTask(rig.model->refreshAspects(false));
        QCOMPARE(snapshots(), 3);
        runTask(rig.model->refreshAspects(true));
        QCOMPARE(snapshots(), 6);
        QCOMPARE(rig.model->aspects().size(), 3);
    }

    void disconnectClearsDataButKeepsToken()
    {
        Rig rig;
        QVERIFY(rig.startServer());
        const ServerSettings settings = rig.serverSettings();
        rig.startModelWith(settings);
        QVERIFY(rig.connect());
        rig.server.addFault(bodyFault(SummaryPath, summaryOf(4)));
        runTask(rig.model->refreshUnseenCount(true));
        QCOMPARE(rig.model->unseenCount(), 4);

        rig.model->disconnect();
        QVERIFY(!rig.model->isLoggedIn());
        QVERIFY(!rig.model->isPolling());
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::None);
        QVERIFY(rig.model->cameras().isEmpty());
        QVERIFY(rig.model->groups().isEmpty());
        QVERIFY(!rig.model->stats());
        QCOMPARE(rig.model->property("stats").toMap(), QVariantMap());
        QCOMPARE(rig.model->unseenCount(), 0);
        QCOMPARE(rig.model->statusBadge(), 0);
        QVERIFY(rig.secret(StateKeys::tokenAccount(settings.id)));

        // The kept token signs the next connection in without a login.
        rig.server.clearRequests();
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/login"), 0);
    }
};

QTEST_MAIN(TestAppModel)
#include "tst_appmodel.moc"
