#include "PlaybackRig.h"
#include "TaskRunner.h"
#include "client/FrigateClient.h"
#include "client/SecretAccounts.h"
#include "screens/ImageDownload.h"

#include <QDateTime>
#include <QDir>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// How the client comes out of a misbehaving server: every case ends in a named error or in a
// recovery once the server is back, within a bounded wait; none hangs.
namespace {

constexpr int Patience = 45000; // ms; generous for a loaded machine, never a speed goal
constexpr double ShortTimeout = 3.0; // s of no progress before a request fails, instead of 60

const QByteArray NginxLogin401 = "<html><head><title>401 Authorization Required</title></head></html>";

QString describe(const FrigateError &error)
{
    switch (error.kind()) {
    case FrigateError::Kind::Http:
        return QStringLiteral("error http %1").arg(error.status());
    case FrigateError::Kind::Decoding:
        return QStringLiteral("error decoding");
    case FrigateError::Kind::Unreachable:
        return QStringLiteral("error unreachable");
    case FrigateError::Kind::Unauthorized:
        return QStringLiteral("error unauthorized");
    case FrigateError::Kind::NotConfigured:
        return QStringLiteral("error not configured");
    default:
        return QStringLiteral("error other");
    }
}

// Runs a client operation without blocking, so that a hang shows as a bounded wait running out.
template<typename T>
std::shared_ptr<std::optional<T>> launch(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<std::optional<T>>();
    task.then([outcome](T value) { *outcome = std::move(value); });
    return outcome;
}

template<typename T>
QString outcomeText(const std::optional<Result<T>> &outcome)
{
    if (!outcome)
        return QStringLiteral("hang");
    return *outcome ? QStringLiteral("ok") : describe(outcome->error());
}

struct Rig : PlaybackRig
{
    bool startShort(const FakeFrigateOptions &options)
    {
        if (!start(options))
            return false;
        client->setTimeoutCap(ShortTimeout);
        return true;
    }

    QString json(const QString &path)
    {
        const auto outcome = launch(client->getJSON(path));
        return QTest::qWaitFor([&] { return outcome->has_value(); }, Patience) ? outcomeText(*outcome)
                                                                                : QStringLiteral("hang");
    }

    QString image(const QString &path)
    {
        bool done = false;
        QImage picture;
        auto *download = new ImageDownload(client.get(), client->makeURL(path), ShortTimeout);
        QObject::connect(download, &ImageDownload::finished, [&](const QImage &image) {
            picture = image;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, Patience))
            return QStringLiteral("hang");
        return picture.isNull() ? QStringLiteral("error image") : QStringLiteral("ok");
    }

    // A clip of the last minutes of front_door into folder; a failure leaves no file behind.
    QString clip(const QString &folder)
    {
        const auto files = [&] { return QDir(folder).entryList(QDir::Files | QDir::Hidden).size(); };
        const qsizetype before = files();
        const qint64 end = QDateTime::currentSecsSinceEpoch() - 120;
        const QString path = QStringLiteral("api/front_door/start/%1/end/%2/clip.mp4").arg(end - 20).arg(end);
        const auto isMp4 = [](const QByteArray &head) { return head.mid(4, 4) == "ftyp"; };
        const auto outcome = launch(client->downloadToFile(path, folder, QStringLiteral("clip.mp4"), isMp4));
        if (!QTest::qWaitFor([&] { return outcome->has_value(); }, Patience))
            return QStringLiteral("hang");
        const QString text = outcomeText(*outcome);
        return text != QLatin1String("ok") && files() != before ? text + QStringLiteral(" with leftovers") : text;
    }

    QString call(const QString &what, const QString &folder)
    {
        if (what == QLatin1String("json"))
            return json(QStringLiteral("api/config"));
        if (what == QLatin1String("image"))
            return image(QStringLiteral("api/front_door/latest.jpg"));
        return clip(folder);
    }
};

QJsonObject fault(const char *path, const QJsonObject &how)
{
    QJsonObject all = how;
    all.insert(QStringLiteral("path"), QLatin1String(path));
    return all;
}

} // namespace

class TestFaultsApi : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("expected");

        const QJsonObject html{{"body", "<html><body>Bad gateway</body></html>"}, {"content_type", "text/html"}};
        const QJsonObject json{{"body", "{\"success\": true}"}};
        QTest::newRow("json 503") << "0.16" << "json" << fault("^/api/config$", {{"status", 503}, {"body", "busy"}})
                                  << "error http 503";
        QTest::newRow("json 500 html") << "0.16" << "json"
                                       << fault("^/api/config$", {{"status", 500}, {"body", html["body"]},
                                                                  {"content_type", "text/html"}})
                                       << "error http 500";
        QTest::newRow("json as html") << "0.16" << "json" << fault("^/api/config$", html) << "error decoding";
        QTest::newRow("json dropped") << "0.16" << "json" << fault("^/api/config$", {{"drop", true}})
                                      << "error unreachable";
        QTest::newRow("json cut") << "0.16" << "json" << fault("^/api/config$", {{"cut", 200}})
                                  << "error unreachable";
        QTest::newRow("json trickle") << "0.16" << "json" << fault("^/api/config$", {{"trickle", 1}})
                                      << "error unreachable";
        QTest::newRow("image 502") << "0.16" << "image" << fault("latest", {{"status", 502}}) << "error image";
        QTest::newRow("image as json") << "0.16" << "image" << fault("latest", json) << "error image";
        QTest::newRow("image cut") << "0.16" << "image" << fault("latest", {{"cut", 300}}) << "error image";
        QTest::newRow("image trickle") << "0.16" << "image" << fault("latest", {{"trickle", 1}}) << "error image";
        QTest::newRow("clip 500") << "0.16" << "clip" << fault("clip", {{"status", 500}}) << "error http 500";
        QTest::newRow("clip as json") << "0.16" << "clip" << fault("clip", json) << "error decoding";
        QTest::newRow("clip cut") << "0.14" << "clip" << fault("clip", {{"cut", 5000}}) << "error unreachable";
        QTest::newRow("clip trickle") << "0.14" << "clip" << fault("clip", {{"trickle", 1}}) << "error unreachable";
    }

    void answers()
    {
        QFETCH(QString, version);
        QFETCH(QString, call);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, expected);
        Rig rig;
        QVERIFY(rig.startShort({.version = version}));
        QTemporaryDir folder;
        rig.server.addFault(fault);
        QCOMPARE(rig.call(call, folder.path()), expected);
        rig.server.clearFaults();
        QCOMPARE(rig.call(call, folder.path()), QStringLiteral("ok"));
    }

    // Every path meets the new certificate with an error and the client names the host.
    void certificateReplaced_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("expected");
        QTest::newRow("api") << "json" << "error unreachable";
        QTest::newRow("image") << "image" << "error image";
        QTest::newRow("clip") << "clip" << "error unreachable";
    }

    void certificateReplaced()
    {
        QFETCH(QString, call);
        QFETCH(QString, expected);
        Rig rig;
        QVERIFY(rig.startShort({.tls = true}));
        QTemporaryDir folder;
        QCOMPARE(rig.call(call, folder.path()), QStringLiteral("ok"));
        rig.server.replaceCertificate();
        QCOMPARE(rig.call(call, folder.path()), expected);
        QCOMPARE(rig.trust.mismatchHost(), std::optional<QString>(QStringLiteral("127.0.0.1")));
        QVERIFY(!runTask(rig.client->findServer()));
        QVERIFY(rig.client->certificateChanged());
    }

    // The server goes away while being polled and comes back on the same port with new signing
    // keys: polling fails meanwhile and recovers by signing in again.
    void serverRestarted()
    {
        Rig rig;
        QVERIFY(rig.startShort({}));
        runTask(rig.secrets.writeSecret(QStringLiteral("secret"), SecretAccounts::passwordAccount(rig.settings.id)));
        rig.client->setClock([] { return QDateTime::currentDateTimeUtc().addSecs(60); });
        QCOMPARE(rig.json(QStringLiteral("api/stats")), QStringLiteral("ok"));
        const FakeFrigateOptions options{.port = rig.server.port()};
        rig.server.stop();
        QCOMPARE(rig.json(QStringLiteral("api/stats")), QStringLiteral("error unreachable"));
        QVERIFY(rig.server.start(options));
        QCOMPARE(rig.json(QStringLiteral("api/stats")), QStringLiteral("ok"));
    }

    // Every answer a 401, the sign-in too: each request ends unauthorized and the client signs in
    // again once at most, not once per failed request.
    void unauthorizedStorm()
    {
        Rig rig;
        QVERIFY(rig.startShort({}));
        runTask(rig.secrets.writeSecret(QStringLiteral("secret"), SecretAccounts::passwordAccount(rig.settings.id)));
        rig.client->setClock([] { return QDateTime::currentDateTimeUtc().addSecs(60); });
        rig.server.addFault(fault("^/api/", {{"status", 401}, {"body", QString::fromLatin1(NginxLogin401)},
                                             {"content_type", "text/html"}}));
        rig.server.clearRequests();
        QList<std::shared_ptr<std::optional<Result<QJsonValue>>>> outcomes;
        for (int i = 0; i < 12; ++i)
            outcomes.append(launch(rig.client->getJSON(QStringLiteral("api/review"), {{"limit", QString::number(i)}})));
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(outcomes.begin(), outcomes.end(), [](const auto &o) { return o->has_value(); }),
                                 Patience);
        for (const auto &outcome : outcomes)
            QCOMPARE(outcomeText(*outcome), QStringLiteral("error unauthorized"));
        QVERIFY(rig.server.requestsTo(QStringLiteral("/api/login")).size() <= 1);
    }

    void unresolvableAddress()
    {
        MemoryPreferencesStore preferences;
        MemorySecretStore secrets;
        ServerTrust trust{&preferences};
        ServerSettings settings;
        settings.internalURL = QStringLiteral("http://kestrova-does-not-exist.invalid:5000");
        FrigateClient client(settings.access(), &secrets, &trust);
        const auto found = launch(client.findServer());
        QTRY_VERIFY_WITH_TIMEOUT(found->has_value(), Patience);
        QVERIFY(!**found);
        const auto outcome = launch(client.getJSON(QStringLiteral("api/config")));
        QTRY_VERIFY_WITH_TIMEOUT(outcome->has_value(), Patience);
        QCOMPARE(outcomeText(*outcome), QStringLiteral("error not configured"));
    }
};

QTEST_MAIN(TestFaultsApi)
#include "tst_faults_api.moc"
