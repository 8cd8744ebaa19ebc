#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "client/FrigateError.h"

#include <QJsonDocument>
#include <QTest>

class TestClientUrls : public QObject
{
    Q_OBJECT
private slots:
    void normalizeURL_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected"); // empty: no URL

        QTest::newRow("tls port gets https") << "192.168.1.10:8971" << "https://192.168.1.10:8971";
        QTest::newRow("plain port gets http, slash dropped") << "192.168.1.10:5000/" << "http://192.168.1.10:5000";
        QTest::newRow("typed scheme kept, slashes dropped") << "  HTTP://nvr.local:5000///\n" << "http://nvr.local:5000";
        QTest::newRow("https kept on any port") << "https://nvr.example.org" << "https://nvr.example.org";
        QTest::newRow("host name alone") << "frigate.lan" << "http://frigate.lan";
        QTest::newRow("path kept") << "nvr.lan/frigate/" << "http://nvr.lan/frigate";
        QTest::newRow("blank") << " \t\n" << "";
        QTest::newRow("not a URL") << "http://exa mple.com:99999" << "";
    }
    void normalizeURL()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const auto url = FrigateClient::normalizeURL(typed);
        QCOMPARE(url.has_value(), !expected.isEmpty());
        if (url)
            QCOMPARE(url->toString(), expected);
    }

    void candidateURLs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("scheme-less tries http then https") << "10.0.0.2:5000"
                                                           << QStringList{"http://10.0.0.2:5000", "https://10.0.0.2:5000"};
        QTest::newRow("port 8971 tries https first") << "10.0.0.2:8971"
                                                     << QStringList{"https://10.0.0.2:8971", "http://10.0.0.2:8971"};
        QTest::newRow("typed scheme is the only one") << "https://10.0.0.2" << QStringList{"https://10.0.0.2"};
        QTest::newRow("empty gives nothing") << "" << QStringList{};
    }
    void candidateURLs()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const QUrl &url : FrigateClient::candidateURLs(typed))
            got << url.toString();
        QCOMPARE(got, expected);
    }

    void supportedVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("supported");
        QTest::newRow("0.14.0") << "0.14.0" << true;
        QTest::newRow("0.14.1 with sha") << "0.14.1-abc123" << true;
        QTest::newRow("0.16.4") << "0.16.4-4131252" << true;
        QTest::newRow("1.0") << "1.0" << true;
        QTest::newRow("0.13.2") << "0.13.2" << false;
        QTest::newRow("0.13.5-beta") << "0.13.5-beta" << false;
        QTest::newRow("no digits") << "dev" << true;
        QTest::newRow("one number") << "15" << true;
        QTest::newRow("huge piece dropped") << "0.99999999999999999999.13" << false;
    }
    void supportedVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, supported);
        QCOMPARE(FrigateClient::isSupportedVersion(version), supported);
    }

    void errorMessages_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("http") << 0 << "Server error (HTTP 503).";
        QTest::newRow("decoding") << 1 << "Invalid response from server: configurazione";
        QTest::newRow("unreachable") << 2 << "Frigate server unreachable.";
        QTest::newRow("unauthorized") << 3 << "Invalid username or password.";
        QTest::newRow("rate limited") << 4 << "Too many login attempts: try again in a minute.";
    }
    void errorMessages()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        const FrigateError errors[] = {FrigateError::http(503), FrigateError::decoding(QStringLiteral("configurazione")),
                                       FrigateError::unreachable(), FrigateError::unauthorized(),
                                       FrigateError::rateLimited()};
        QCOMPARE(errors[kind].message(), message);
    }

    void makeURLWithoutBase()
    {
        FrigateClient client(ServerSettings{}, nullptr, nullptr);
        QVERIFY(!client.makeURL(QStringLiteral("api/config")));
        QVERIFY(!client.signInCookie());
    }

    void decimalText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1.0 << "1.0";
        QTest::newRow("quarter") << 1718096400.25 << "1718096400.25";
        QTest::newRow("micro") << 1718096400.512345 << "1718096400.512345";
        QTest::newRow("whole epoch") << 1718096400.0 << "1718096400.0";
    }
    void decimalText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FrigateApi::decimalText(value), text);
    }

    void reviewQueryItems_data()
    {
        QTest::addColumn<QStringList>("cameras");
        QTest::addColumn<bool>("withBefore");
        QTest::addColumn<int>("reviewed"); // -1 absent
        QTest::addColumn<bool>("showDetections");
        QTest::addColumn<bool>("seenFlagFilters"); // 0.17+
        QTest::addColumn<QString>("expected");
        // Before 0.17 a missing "reviewed" means unseen only; "1" there means seen and unseen.
        QTest::newRow("defaults, 0.16") << QStringList{} << false << -1 << true << false << "limit=50&after=1.0&reviewed=1";
        QTest::newRow("defaults, 0.17") << QStringList{} << false << -1 << true << true << "limit=50&after=1.0";
        QTest::newRow("alerts only") << QStringList{} << false << -1 << false << true << "limit=50&after=1.0&severity=alert";
        QTest::newRow("everything") << QStringList{"a", "b"} << true << 0 << false << false
                                    << "limit=50&cameras=a,b&after=1.0&before=1718096400.25&reviewed=0&severity=alert";
        QTest::newRow("unseen only, 0.17") << QStringList{} << false << 0 << true << true << "limit=50&after=1.0&reviewed=0";
        QTest::newRow("reviewed true, 0.17") << QStringList{"a"} << false << 1 << true << true << "limit=50&cameras=a&after=1.0";
    }
    void reviewQueryItems()
    {
        QFETCH(QStringList, cameras);
        QFETCH(bool, withBefore);
        QFETCH(int, reviewed);
        QFETCH(bool, showDetections);
        QFETCH(bool, seenFlagFilters);
        QFETCH(QString, expected);
        FrigateApi::ReviewQuery query;
        if (!cameras.isEmpty())
            query.cameras = cameras;
        else
            query.cameras = QStringList{}; // an empty list sends no "cameras" item
        if (withBefore)
            query.before = 1718096400.25;
        if (reviewed >= 0)
            query.reviewed = reviewed == 1;
        QStringList pairs;
        for (const auto &[name, value] : FrigateApi::reviewQueryItems(query, showDetections, seenFlagFilters))
            pairs << name + QLatin1Char('=') + value;
        QCOMPARE(pairs.join(QLatin1Char('&')), expected);
    }

    void unseenCount_data()
    {
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<bool>("showDetections");
        QTest::addColumn<int>("count");
        const QByteArray days = R"({"last24Hours":{"total_alert":50,"reviewed_alert":0,"total_detection":9,"reviewed_detection":0},
            "2024-06-11":{"day":"2024-06-11","total_alert":2,"reviewed_alert":1,"total_detection":9,"reviewed_detection":4},
            "2024-06-10":{"day":"2024-06-10","total_alert":"\n 3 \t","reviewed_alert":"0","total_detection":12,"reviewed_detection":10}})";
        QTest::newRow("alerts and detections") << days << true << (1 + 5 + 3 + 2);
        QTest::newRow("alerts only") << days << false << (1 + 3);
        QTest::newRow("only last24Hours") << QByteArray(R"({"last24Hours":{"total_alert":null}})") << true << 0;
        QTest::newRow("negative clamps to zero")
            << QByteArray(R"({"2024-06-11":{"total_alert":1,"reviewed_alert":5}})") << true << 0;
        QTest::newRow("negative day lowers the sum")
            << QByteArray(R"({"a":{"total_alert":1,"reviewed_alert":3},"b":{"total_alert":5,"reviewed_alert":0}})") << false << 3;
        QTest::newRow("non-object days ignored") << QByteArray(R"({"x":[1,2],"y":"5"})") << true << 0;
    }
    void unseenCount()
    {
        QFETCH(QByteArray, summary);
        QFETCH(bool, showDetections);
        QFETCH(int, count);
        QCOMPARE(FrigateApi::unseenCount(QJsonDocument::fromJson(summary).object(), showDetections), count);
    }
};

QTEST_GUILESS_MAIN(TestClientUrls)
#include "tst_clienturls.moc"
