#include "client/FrigateClient.h"

#include <QTest>

class TestClientUrls : public QObject
{
    Q_OBJECT
private slots:
    // The first candidate is the normalized address.
    void candidateURLs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain port: http, then https, slash dropped")
            << "192.168.1.10:5000/" << QStringList{"http://192.168.1.10:5000", "https://192.168.1.10:5000"};
        QTest::newRow("port 8971: https first") << "10.0.0.2:8971" << QStringList{"https://10.0.0.2:8971", "http://10.0.0.2:8971"};
        QTest::newRow("typed scheme kept alone, slashes dropped") << "  HTTP://nvr.local:5000///\n" << QStringList{"http://nvr.local:5000"};
        QTest::newRow("https kept on any port") << "https://nvr.example.org" << QStringList{"https://nvr.example.org"};
        QTest::newRow("path kept") << "nvr.lan/frigate/" << QStringList{"http://nvr.lan/frigate", "https://nvr.lan/frigate"};
        QTest::newRow("blank") << " \t\n" << QStringList{};
        QTest::newRow("not a URL") << "http://exa mple.com:99999" << QStringList{};
    }
    void candidateURLs()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const QUrl &url : FrigateClient::candidateURLs(typed))
            got << url.toString();
        QCOMPARE(got, expected);
        const auto normalized = FrigateClient::normalizeURL(typed);
        QCOMPARE(normalized ? normalized->toString() : QString(), expected.value(0));
    }

    void supportedVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("supported");
        QTest::newRow("0.14.1 with sha") << "0.14.1-abc123" << true;
        QTest::newRow("0.13.2") << "0.13.2" << false;
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
};

QTEST_GUILESS_MAIN(TestClientUrls)
#include "tst_clienturls.moc"
