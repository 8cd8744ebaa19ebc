#include "SignedInModel.h"

#include <QJsonDocument>
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

// The next answer on `path`: held back `delay` seconds, with `body` and `status` when given.
QJsonObject fault(const QString &path, double delay, const QString &body = {}, int status = 200)
{
    QJsonObject fault{{"path", QLatin1Char('^') + path + QLatin1Char('$')}, {"times", 1}, {"delay", delay}};
    if (!body.isEmpty() || status != 200) {
        fault.insert("body", body);
        fault.insert("status", status);
    }
    return fault;
}

QString deadAddress()
{
    QTcpServer listener;
    listener.listen(QHostAddress::LocalHost);
    return QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort());
}

const QJsonObject errorLine{{"service", "frigate"}, {"level", "ERROR"}, {"message", "camera note"}};

// One model wired as the application wires it, over memory stores and a hand-driven clock, started
// here over a chosen server list rather than signed in at once.
struct Rig : SignedInModel
{
    // A fake server and a model listing it (first) and `others`.
    bool start(const FakeFrigateOptions &options = {}, const QList<ServerSettings> &others = {})
    {
        if (!server.start(options))
            return false;
        ServerList list;
        list.servers = QList<ServerSettings>{listedServer()} + others;
        startModel(list);
        return true;
    }

    // A server without sign-in, connected, its first polling pass done.
    bool startConnected(const QList<ServerSettings> &others = {})
    {
        return start({.auth = false}, others) && connect();
    }

    void setSecret(const QString &account, const QString &value) { runTask(secrets.writeSecret(value, account)); }
    std::optional<QString> secret(const QString &account) { return runTask(secrets.readSecret(account)); }

    qsizetype count(const QString &path) { return server.requestsTo(path).size(); }

    int unseenAfter(const QString &summary, int status = 200)
    {
        server.addFault(fault(SummaryPath, 0, summary, status));
        runTask(model->refreshUnseenCount(true));
        return model->unseenCount();
    }
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
        QTest::addColumn<int>("expectedIndex"); // -1: nothing connects

        QTest::newRow("one server without user name") << 1 << false << -1 << false << 0;
        QTest::newRow("one server, user name without password") << 1 << false << -1 << true << -1;
        QTest::newRow("auto-connect on, no default, two servers") << 2 << true << -1 << false << -1;
        QTest::newRow("auto-connect on, default set") << 2 << true << 1 << false << 1;
        QTest::newRow("auto-connect off, default set, two servers") << 2 << false << 1 << false << -1;
        QTest::newRow("auto-connect on, default needs a password") << 2 << true << 0 << true << -1;
    }

    void bootstrapConnectsOnlyWhenItMay()
    {
        QFETCH(int, serverCount);
        QFETCH(bool, autoConnect);
        QFETCH(int, defaultIndex);
        QFETCH(bool, withUser);
        QFETCH(int, expectedIndex);

        Rig rig;
        QVERIFY(rig.server.start({.auth = withUser}));
        ServerList list;
        for (int index = 0; index < serverCount; ++index)
            list.servers.append(rig.listedServer());
        list.autoConnect = autoConnect;
        if (defaultIndex >= 0)
            list.defaultID = list.servers.at(defaultIndex).id;
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

    void connectThenDisconnect()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QUuid id = rig.model->settings().id;
        // A stored order comes first, the rest follows the server's ui order.
        rig.preferences.setValue(StateKeys::serverPreference("cameraOrder", id), QStringList{"back_yard"});
        QVERIFY(rig.connect());
        QStringList names;
        for (const CameraInfo &camera : rig.model->cameras())
            names.append(camera.name);
        QCOMPARE(names, (QStringList{"back_yard", "driveway", "front_door"}));
        QCOMPARE(rig.model->cameraModel()->count(), 3);
        QCOMPARE(rig.model->groupModel()->count(), 1);
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::Local);
        QVERIFY(!rig.model->isConnecting());
        QVERIFY(rig.model->stats().has_value());
        // A typed password that signed in is kept for the next launch.
        QCOMPARE(rig.secret(StateKeys::passwordAccount(id)), std::optional(rig.server.options().password));
        QCOMPARE(rig.unseenAfter(summaryOf(4)), 4);

        rig.model->disconnect();
        QVERIFY(!rig.model->isLoggedIn() && !rig.model->isPolling());
        QCOMPARE(rig.model->connectionMode(), ConnectionMode::None);
        QCOMPARE(rig.model->cameraModel()->count(), 0);
        QCOMPARE(rig.model->groupModel()->count(), 0);
        QVERIFY(!rig.model->stats());
        QCOMPARE(rig.model->unseenCount(), 0);

        // The kept token signs the next connection in without a login.
        rig.server.clearRequests();
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/login"), 0);

        // Neither the old token (stored or held by the client) nor the old password may sign
        // another user name in.
        rig.server.configure({{"users", QJsonObject{{"admin", "secret"}, {"viewer", "other"}}}});
        rig.model->disconnect();
        const QVariantMap fields{
            {"id", rig.model->settings().idText()}, {"internalURL", rig.server.baseUrl()}, {"username", "viewer"}};
        runTask(rig.model->saveServerFields(fields));
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(!rig.model->isLoggedIn());
        QCOMPARE(rig.count("/api/login"), 0);
        runTask(rig.model->connect(std::optional<QString>("other")));
        QVERIFY(rig.model->isLoggedIn());
        const QJsonArray logins = rig.server.requestsTo("/api/login");
        QCOMPARE(logins.size(), 1);
        QCOMPARE(bodyOf(logins.first()).value("user").toString(), QStringLiteral("viewer"));
    }

    void unreachableAndChangedCertificate()
    {
        Rig rig;
        QVERIFY(rig.start({.tls = true, .auth = false}));
        ServerSettings settings = rig.model->settings();
        QVERIFY(rig.connect());

        rig.server.replaceCertificate();
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(rig.model->lastError().value_or(QString()).contains("certificate has changed"));
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
        QVERIFY(!rig.model->isLoggedIn());
    }

    // The login form's Connect: the server is stored trimmed and made current, whatever the outcome.
    void loginForm_data()
    {
        QTest::addColumn<QStringList>("row"); // password, version text, expected error
        QTest::newRow("right password") << QStringList{"secret", "0.16.0", ""};
        QTest::newRow("wrong password") << QStringList{"nope", "0.16.0", "Invalid username or password."};
        QTest::newRow("0.13.2 refused") << QStringList{
            "secret", "0.13.2", "Frigate 0.13.2 is not supported: version 0.14 or later is required."};
        QTest::newRow("no version does not block") << QStringList{"secret", "", ""};
    }

    void loginForm()
    {
        QFETCH(QStringList, row);
        const QString password = row.at(0);
        const QString expectedError = row.at(2);

        Rig rig;
        QVERIFY(rig.server.start());
        rig.server.configure({{"version_text", row.at(1)}});
        rig.startModel({});
        const QVariantMap fields{{"serverName", " Home "},
                                 {"internalURL", QLatin1Char(' ') + rig.server.baseUrl()},
                                 {"username", "admin "},
                                 {"password", password}};
        const QVariantMap outcome = runTask(rig.model->saveServerAndConnectFields(fields));

        QCOMPARE(rig.model->serverList().servers.size(), 1);
        const ServerSettings stored = rig.model->serverList().servers.first();
        QCOMPARE(outcome.value("id").toString(), stored.idText());
        QCOMPARE(outcome.value("error").toString(), expectedError);
        QCOMPARE(rig.model->property("lastError").toString(), expectedError);
        QCOMPARE(rig.model->settings(), stored);
        QCOMPARE(stored.serverName + '|' + stored.username, QStringLiteral("Home|admin"));
        QCOMPARE(rig.model->isLoggedIn(), expectedError.isEmpty());
        QCOMPARE(rig.model->isPolling(), expectedError.isEmpty());
        QVERIFY(!rig.model->isConnecting());
        const bool signedIn = password == "secret";
        QCOMPARE(rig.secret(StateKeys::passwordAccount(stored.id)).has_value(), signedIn);
        QCOMPARE(rig.secret(StateKeys::tokenAccount(stored.id)).has_value(), signedIn);
    }

    void pickerTapConnectsOnlyWithoutAsking_data()
    {
        QTest::addColumn<bool>("passwordSaved");
        QTest::addColumn<bool>("otherServersPassword");
        QTest::addColumn<bool>("fromCommandLine");
        for (const bool fromCommandLine : {false, true}) {
            const char *via = fromCommandLine ? " (--server)" : "";
            QTest::addRow("password saved: connects%s", via) << true << false << fromCommandLine;
            QTest::addRow("no password: asks%s", via) << false << false << fromCommandLine;
            QTest::addRow("only another server's password: asks%s", via) << false << true << fromCommandLine;
        }
    }

    // A tap leaves asking to the picker; --server selects the server and asks for its form.
    void pickerTapConnectsOnlyWithoutAsking()
    {
        QFETCH(bool, passwordSaved);
        QFETCH(bool, otherServersPassword);
        QFETCH(bool, fromCommandLine);
        Rig rig;
        QVERIFY(rig.start({}, {ServerSettings()}));
        const ServerSettings target = rig.model->serverList().servers.first();
        const ServerSettings other = rig.model->serverList().servers.last();
        rig.model->selectServer(other);
        if (passwordSaved || otherServersPassword)
            rig.setSecret(StateKeys::passwordAccount(passwordSaved ? target.id : other.id),
                          rig.server.options().password);

        if (fromCommandLine)
            runTask(rig.model->openServerWithIdText(target.idText()));
        else
            QCOMPARE(runTask(rig.model->connectToServerWithIdText(target.idText())), passwordSaved);
        QCOMPARE(rig.model->isLoggedIn(), passwordSaved);
        QCOMPARE(rig.model->settings().id == target.id, passwordSaved || fromCommandLine);
        const bool formAsked = fromCommandLine && !passwordSaved;
        QCOMPARE(rig.model->signInRequest(), formAsked ? target.idText() : QString());
        QCOMPARE(rig.server.requests().isEmpty(), !passwordSaved);
    }

    // The connection attempt is left while one of its requests runs; what that request answers
    // must not reach the model, whichever server is current by then.
    void abandonedConnectionLeavesNoTrace_data()
    {
        QTest::addColumn<QString>("pausedAt");
        QTest::addColumn<QString>("action");
        QTest::newRow("select while probing") << "/api/version" << QStringLiteral("select");
        QTest::newRow("delete while probing") << "/api/version" << QStringLiteral("delete");
        QTest::newRow("select while signing in") << "/api/login" << QStringLiteral("select");
        QTest::newRow("disconnect while signing in") << "/api/login" << QStringLiteral("disconnect");
        QTest::newRow("disconnect while loading the configuration") << "/api/config" << QStringLiteral("disconnect");
        QTest::newRow("another connection while signing in") << "/api/login" << QStringLiteral("connect");
    }

    void abandonedConnectionLeavesNoTrace()
    {
        QFETCH(QString, pausedAt);
        QFETCH(QString, action);

        ServerSettings other;
        other.internalURL = deadAddress();
        Rig rig;
        QVERIFY(rig.start({}, {other}));
        const ServerSettings first = rig.model->settings();
        rig.server.addFault(fault(pausedAt, 1.0));
        QCoro::Task<> connecting = rig.model->connect(std::optional<QString>(rig.server.options().password));
        QTRY_COMPARE(rig.count(pausedAt), 1);

        QCoro::Task<> second = []() -> QCoro::Task<> { co_return; }();
        if (action == "select")
            rig.model->selectServer(other);
        if (action == "delete")
            runTask(rig.model->deleteServer(first.id));
        if (action == "disconnect")
            rig.model->disconnect();
        if (action == "connect")
            second = rig.model->connect(std::optional<QString>(QStringLiteral("wrong")));
        runTask(std::move(connecting));
        runTask(std::move(second));

        QVERIFY(!rig.model->isLoggedIn() && !rig.model->isConnecting() && !rig.model->isPolling());
        // Only the refused second attempt may leave its error behind.
        QCOMPARE(rig.model->lastError().value_or(QString()),
                 action == "connect" ? QStringLiteral("Invalid username or password.") : QString());
        QVERIFY(rig.model->cameras().isEmpty());
        // Only a sign-in that ended while its attempt was current keeps the password.
        QCOMPARE(rig.secret(StateKeys::passwordAccount(first.id)).has_value(), pausedAt == "/api/config");
        QVERIFY(!rig.secret(StateKeys::passwordAccount(other.id)));
        QCOMPARE(rig.model->settings().id, action == "select" || action == "delete" ? other.id : first.id);
    }

    void unseenBadgeArithmetic_data()
    {
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("detections"); // the server's "show detections" preference
        QTest::addColumn<int>("expected");

        const QJsonObject last24{{"total_alert", 40}, {"reviewed_alert", 0}, {"total_detection", 40}};
        const QJsonObject day11{
            {"total_alert", 5}, {"reviewed_alert", 2}, {"total_detection", 9}, {"reviewed_detection", 4}};
        const QJsonObject day10{{"total_alert", " 3 "}, {"reviewed_alert", 1}, {"total_detection", "x"}};
        const QString mixed = json({{"last24Hours", last24}, {"2024-06-11", day11}, {"2024-06-10", day10}});
        QTest::newRow("only last24Hours") << json({{"last24Hours", last24}}) << 200 << true << 0;
        QTest::newRow("alerts and detections") << mixed << 200 << true << 3 + 2 + 5 + 0;
        QTest::newRow("detections off: alerts only") << mixed << 200 << false << 3 + 2;
        QTest::newRow("never below zero")
            << json({{"2024-06-11", QJsonObject{{"total_alert", 1}, {"reviewed_alert", 4}}}}) << 200 << true << 0;
        QTest::newRow("server error keeps the value") << QString() << 500 << true << 77;
        QTest::newRow("not an object keeps the value") << QStringLiteral("[1, 2]") << 200 << true << 77;
    }

    void unseenBadgeArithmetic()
    {
        QFETCH(QString, summary);
        QFETCH(int, status);
        QFETCH(bool, detections);
        QFETCH(int, expected);

        Rig rig;
        QVERIFY(rig.startConnected());
        if (!detections) {
            const int revision = rig.model->reviewRevision();
            rig.model->applyDisplayPreferences(rig.model->settings().gridRefreshSeconds, false, false);
            QTRY_COMPARE(rig.model->reviewRevision(), revision + 1);
        }
        QCOMPARE(rig.unseenAfter(summaryOf(77)), 77);
        QCOMPARE(rig.unseenAfter(summary, status), expected);
    }

    // A summary answered after reviews were marked is stale: the count waits for the refetch.
    void markingDropsSummaryInFlight()
    {
        Rig rig;
        QVERIFY(rig.startConnected());
        QCOMPARE(rig.unseenAfter(summaryOf(3)), 3);
        const qsizetype before = rig.count(SummaryPath);
        rig.server.addFault(fault(SummaryPath, 1.0, summaryOf(50)));
        QCoro::Task<> inFlight = rig.model->refreshUnseenCount();
        QTRY_COMPARE(rig.count(SummaryPath), before + 1);
        rig.server.addFault(fault(SummaryPath, 0, summaryOf(7)));
        runTask(rig.model->markReviewed({QStringLiteral("1718000000.0-abcdef")}, true));
        runTask(std::move(inFlight));

        QCOMPARE(rig.model->unseenCount(), 3);
        // The fresh count waits for the clock, then asks past the server's cache.
        QCOMPARE(rig.count(SummaryPath), before + 1);
        rig.clock.advance(2s);
        QTRY_COMPARE(rig.model->unseenCount(), 7);
        const QJsonArray summaries = rig.server.requestsTo(SummaryPath);
        QCOMPARE(summaries.last().toObject().value("headers").toObject().value("x-cache-bypass").toString(), "1");
    }

    void markReviewedSendsChunks_data()
    {
        QTest::addColumn<int>("idCount");
        QTest::addColumn<bool>("firstChunkFails");
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("450, first chunk refused") << 450 << true << QList<int>{200, 200, 50};
        QTest::newRow("200") << 200 << false << QList<int>{200};
    }

    void markReviewedSendsChunks()
    {
        QFETCH(int, idCount);
        QFETCH(bool, firstChunkFails);
        QFETCH(QList<int>, chunks);

        Rig rig;
        QVERIFY(rig.startConnected());
        if (firstChunkFails)
            rig.server.addFault(fault(ViewedPath, 0, QString(), 500));
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
        QCOMPARE(rig.clock.pending(2s), 1);
    }

    void markAllReviewedCollectsUnreviewed()
    {
        Rig rig;
        QVERIFY(rig.startConnected());
        const auto open = runTask(rig.model->fetchReviews({.reviewed = false, .limit = 500}));
        QVERIFY(open && !open.value().isEmpty());

        runTask(rig.model->markAllReviewed());
        QStringList sent;
        for (const QJsonValue &post : rig.server.requestsTo(ViewedPath)) {
            for (const QJsonValue &id : bodyOf(post).value("ids").toArray())
                sent.append(id.toString());
        }
        QCOMPARE(sent.size(), open.value().size());
        const QJsonArray reviewed = rig.server.state().value("reviewed").toArray();
        for (const ReviewItem &item : open.value())
            QVERIFY(sent.contains(item.id) && reviewed.contains(item.id));
    }

    void logBadgeCountsNewWarnings()
    {
        Rig rig;
        QVERIFY(rig.start({.auth = false}));
        rig.server.configure({{"json_cache", false}});
        QVERIFY(rig.connect());
        rig.model->markLogsSeen();
        QTest::qWait(1100); // log lines carry whole seconds

        for (const char *level : {"ERROR", "WARNING", "INFO"}) {
            QJsonObject line = errorLine;
            line.insert("level", level);
            rig.server.appendLog(line);
        }
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
        QVERIFY(rig.startConnected());
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

        // A new connection does not restart the count: the next slow pass is tick 18.
        rig.model->disconnect();
        QVERIFY(rig.connect());
        QCOMPARE(rig.count(SummaryPath), 2);
        for (int pass = 14; pass <= 18; ++pass) {
            rig.clock.advance(5s);
            QVERIFY(rig.settle());
        }
        QCOMPARE(rig.count(SummaryPath), 3);
    }

    // Answers that arrive after the session ended (a disconnect or another server made current)
    // are dropped: the cleared values stay cleared.
    void endedSessionPublishesNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("switchServer");
        for (const bool switchServer : {false, true}) {
            const char *how = switchServer ? "switch" : "disconnect";
            QTest::addRow("stats, %s", how) << StatsPath << switchServer;
            QTest::addRow("polled stats, %s", how) << QString() << switchServer;
            QTest::addRow("unseen count, %s", how) << SummaryPath << switchServer;
            QTest::addRow("log badge, %s", how) << LogsPath << switchServer;
            QTest::addRow("refetch after marking, %s", how) << ViewedPath << switchServer;
        }
    }

    void endedSessionPublishesNothing()
    {
        QFETCH(QString, path);
        QFETCH(bool, switchServer);

        Rig rig;
        QVERIFY(rig.start({.auth = false}, {ServerSettings()}));
        rig.server.configure({{"json_cache", false}});
        QVERIFY(rig.connect());
        rig.server.appendLog(errorLine);
        const QString slowPath = path.isEmpty() ? StatsPath : path;
        rig.server.addFault(fault(slowPath, 1.0, slowPath == SummaryPath ? summaryOf(9) : QString()));
        const qsizetype before = rig.count(slowPath);

        QCoro::Task<> late = []() -> QCoro::Task<> { co_return; }();
        if (path == StatsPath)
            late = rig.model->refreshStats();
        else if (path == SummaryPath)
            late = rig.model->refreshUnseenCount();
        else if (path == LogsPath)
            late = rig.model->refreshLogBadge();
        else if (path == ViewedPath)
            late = rig.model->markReviewed({QStringLiteral("1718000000.0-abcdef")}, true);
        else
            rig.clock.advance(5s);
        QTRY_COMPARE(rig.count(slowPath), before + 1);
        if (switchServer)
            rig.model->selectServer(rig.model->serverList().servers.last());
        else
            rig.model->disconnect();
        runTask(std::move(late));
        // The pause before the refetch ends with the session.
        QCOMPARE(rig.clock.pending(2s), 0);
        if (path.isEmpty())
            QTest::qWait(1200); // the polling pass's answer arrives after the disconnect

        QVERIFY(!rig.model->stats());
        QCOMPARE(rig.model->unseenCount(), 0);
        QCOMPARE(rig.model->statusBadge(), 0);
    }

    void modelGoneWhileRequestsRun()
    {
        Rig rig;
        QVERIFY(rig.startConnected());
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

    void comingBackRefreshesTheConnection_data()
    {
        QTest::addColumn<bool>("localLost");
        QTest::newRow("local address lost: remote") << true;
        QTest::newRow("nothing changed") << false;
    }

    // Hidden, the model stops polling; active again, it probes the addresses and polls the one
    // that answers. Only polling requests are counted: the aspect probe that follows a connection
    // may still be running and reach the request log at any time.
    void comingBackRefreshesTheConnection()
    {
        QFETCH(bool, localLost);

        Rig rig;
        FakeFrigate remote;
        QVERIFY(rig.start({.auth = false}));
        QVERIFY(remote.start({.auth = false}));
        ServerSettings settings = rig.model->settings();
        settings.externalURL = remote.baseUrl();
        rig.model->saveServer(settings);
        QVERIFY(rig.connect());
        const int revision = rig.model->reviewRevision();

        // Without notifications nothing needs polling in the background.
        rig.model->setNotifyAlerts(false);
        rig.model->handleApplicationState(Qt::ApplicationHidden);
        QVERIFY(!rig.model->isPolling());
        QTRY_COMPARE(rig.clock.pending(5s), 0);
        FakeFrigate &answering = localLost ? remote : rig.server;
        answering.clearRequests();
        if (localLost)
            rig.server.stop();
        rig.model->handleApplicationState(Qt::ApplicationActive);
        QVERIFY(rig.settle());
        QCOMPARE(rig.model->connectionMode(), localLost ? ConnectionMode::Remote : ConnectionMode::Local);
        QCOMPARE(rig.model->reviewRevision(), revision + (localLost ? 1 : 0));
        QCOMPARE(answering.requestsTo(StatsPath).size(), 1);
        QVERIFY(rig.model->isLoggedIn());

        // Signed out, coming back does nothing.
        rig.model->disconnect();
        answering.clearRequests();
        rig.model->handleApplicationState(Qt::ApplicationActive);
        QVERIFY(!rig.model->isPolling());
        QCOMPARE(answering.requestsTo("/api/version").size() + answering.requestsTo(StatsPath).size(), 0);
    }

    void aspectsProbedOncePerCamera()
    {
        Rig rig;
        QVERIFY(rig.startConnected());
        QTRY_COMPARE(rig.model->aspects().size(), 3);
        QCOMPARE(rig.model->aspects().value("front_door"), 1280.0 / 720.0);
        QCOMPARE(rig.model->aspects().value("back_yard"), 640.0 / 480.0);
        const QString key = StateKeys::serverPreference("aspects", rig.model->settings().id);
        QCOMPARE(rig.preferences.value(key).toMap().value("driveway").toDouble(), 1280.0 / 720.0);

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
    }
};

QTEST_MAIN(TestAppModel)
#include "tst_appmodel.moc"
