#include "state/ServerSettings.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

namespace {

// JSON written with single quotes, to read without escapes.
QJsonObject parse(const char *singleQuoted)
{
    return QJsonDocument::fromJson(QByteArray(singleQuoted).replace('\'', '"')).object();
}

// Every field but the id, as one text to compare.
QString fieldsOf(const ServerSettings &settings)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
        .arg(settings.serverName, settings.internalURL, settings.externalURL, settings.username)
        .arg(settings.gridRefreshSeconds)
        .arg(settings.liveUsesSubstream)
        .arg(settings.showDetections);
}

const QString knownID = QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B");

} // namespace

class TestServerSettings : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("expected"); // fieldsOf, or empty when the decode fails

        QTest::newRow("all keys") << parse(
            "{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B','serverName':'Casa',"
            "'internalURL':'http://192.168.1.10:5000','externalURL':'https://nvr.example.org','username':'admin',"
            "'gridRefreshSeconds':7.5,'liveUsesSubstream':true,'showDetections':false}")
                                  << "Casa|http://192.168.1.10:5000|https://nvr.example.org|admin|7.5|1|0";
        QTest::newRow("absent keys give defaults")
            << parse("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B'}") << "||||2|0|1";
        QTest::newRow("nulls give defaults")
            << parse("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B',"
                     "'serverName':null,'username':null,'gridRefreshSeconds':null,'showDetections':null}")
            << "||||2|0|1";
        QTest::newRow("lower-case id, whole number, unknown keys")
            << parse("{'id':'6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b','password':'never read','gridRefreshSeconds':10}")
            << "||||10|0|1";
        QTest::newRow("id number") << parse("{'id':5}") << QString();
        QTest::newRow("id not a uuid") << parse("{'id':'server-1'}") << QString();
        QTest::newRow("name number") << parse("{'serverName':5}") << QString();
        QTest::newRow("internal address list") << parse("{'internalURL':['http://a']}") << QString();
        QTest::newRow("external address bool") << parse("{'externalURL':true}") << QString();
        QTest::newRow("username object") << parse("{'username':{}}") << QString();
        QTest::newRow("interval text") << parse("{'gridRefreshSeconds':'2'}") << QString();
        QTest::newRow("substream number") << parse("{'liveUsesSubstream':1}") << QString();
        QTest::newRow("detections text") << parse("{'showDetections':'true'}") << QString();
    }

    void decode()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, expected);
        const std::optional<ServerSettings> settings = ServerSettings::fromJson(json);
        QCOMPARE(settings.has_value(), !expected.isEmpty());
        if (!settings)
            return;
        QCOMPARE(settings->idText(), knownID);
        QCOMPARE(fieldsOf(*settings), expected);
    }

    void absentIdGivesAFreshOne()
    {
        const auto first = ServerSettings::fromJson(parse("{'serverName':'Casa'}"));
        const auto second = ServerSettings::fromJson(parse("{'serverName':'Casa'}"));
        QVERIFY(first && second && !first->id.isNull() && first->id != second->id);
    }

    void encodeRoundTrips()
    {
        ServerSettings settings;
        settings.serverName = QStringLiteral("Casa");
        settings.internalURL = QStringLiteral("192.168.1.10:5000");
        settings.externalURL = QStringLiteral("https://nvr.example.org");
        settings.username = QStringLiteral("admin");
        settings.gridRefreshSeconds = 4.25;
        settings.liveUsesSubstream = true;
        settings.showDetections = false;

        const QJsonObject object = settings.toJson();
        QCOMPARE(object.keys(), (QStringList{"externalURL", "gridRefreshSeconds", "id", "internalURL",
                                             "liveUsesSubstream", "serverName", "showDetections", "username"}));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                    .match(object.value("id").toString())
                    .hasMatch());
        QCOMPARE(ServerSettings::fromJson(QJsonDocument::fromJson(QJsonDocument(object).toJson()).object()), settings);
        QCOMPARE(uuidFromText(settings.idText().toLower()), std::optional(settings.id));
        QCOMPARE(uuidFromText(QStringLiteral("00000000-0000-0000-0000-000000000000")), std::optional(QUuid()));
        QVERIFY(!uuidFromText(QStringLiteral("not a uuid")));
    }

    void displayName_data()
    {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("internalURL");
        QTest::addColumn<QString>("externalURL");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name wins") << "Casa"
                                   << "http://a"
                                   << "http://b"
                                   << "Casa";
        QTest::newRow("internal next") << ""
                                       << "http://a"
                                       << "http://b"
                                       << "http://a";
        QTest::newRow("external last") << ""
                                       << ""
                                       << "http://b"
                                       << "http://b";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << ""
                                 << "Frigate";
        QTest::newRow("blank name is kept") << " "
                                            << "http://a"
                                            << ""
                                            << " ";
    }

    void displayName()
    {
        ServerSettings settings;
        QFETCH(QString, serverName);
        QFETCH(QString, internalURL);
        QFETCH(QString, externalURL);
        settings.serverName = serverName;
        settings.internalURL = internalURL;
        settings.externalURL = externalURL;
        QTEST(settings.displayName(), "expected");
    }
};

QTEST_GUILESS_MAIN(TestServerSettings)
#include "tst_serversettings.moc"
