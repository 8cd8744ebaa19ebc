#include "state/ServerSettings.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

namespace {

// JSON written with single quotes, to read without escapes.
QByteArray json(const char *singleQuoted)
{
    return QByteArray(singleQuoted).replace('\'', '"');
}

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

const QUuid knownID = QUuid::fromString(QStringLiteral("6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b"));

} // namespace

class TestServerSettings : public QObject
{
    Q_OBJECT

private slots:
    void decodesPresentValues_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("internalURL");
        QTest::addColumn<QString>("externalURL");
        QTest::addColumn<QString>("username");
        QTest::addColumn<double>("gridRefreshSeconds");
        QTest::addColumn<bool>("liveUsesSubstream");
        QTest::addColumn<bool>("showDetections");

        QTest::newRow("all keys") << json("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B',"
            "'serverName':'Casa','internalURL':'http://192.168.1.10:5000','externalURL':'https://nvr.example.org',"
            "'username':'admin','gridRefreshSeconds':7.5,'liveUsesSubstream':true,'showDetections':false}")
            << "Casa" << "http://192.168.1.10:5000" << "https://nvr.example.org" << "admin" << 7.5 << true << false;
        QTest::newRow("only id and internal address") << json("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B',"
            "'internalURL':'http://frigate.local:5000'}")
            << "" << "http://frigate.local:5000" << "" << "" << 2.0 << false << true;
        QTest::newRow("nulls give defaults") << json("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B',"
            "'serverName':null,'internalURL':null,'externalURL':null,'username':null,"
            "'gridRefreshSeconds':null,'liveUsesSubstream':null,'showDetections':null}")
            << "" << "" << "" << "" << 2.0 << false << true;
        QTest::newRow("whole-number interval") << json("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B',"
            "'gridRefreshSeconds':10}")
            << "" << "" << "" << "" << 10.0 << false << true;
        QTest::newRow("lower-case id and unknown keys") << json("{'id':'6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b',"
            "'password':'never read','serverName':'Garage'}")
            << "Garage" << "" << "" << "" << 2.0 << false << true;
    }

    void decodesPresentValues()
    {
        QFETCH(QByteArray, json);
        const std::optional<ServerSettings> settings = ServerSettings::fromJson(parse(json));
        QVERIFY(settings);
        QCOMPARE(settings->id, knownID);
        QTEST(settings->serverName, "serverName");
        QTEST(settings->internalURL, "internalURL");
        QTEST(settings->externalURL, "externalURL");
        QTEST(settings->username, "username");
        QTEST(settings->gridRefreshSeconds, "gridRefreshSeconds");
        QTEST(settings->liveUsesSubstream, "liveUsesSubstream");
        QTEST(settings->showDetections, "showDetections");
    }

    void absentIdGivesAFreshOne()
    {
        const QJsonObject object = parse(json("{'serverName':'Casa'}"));
        const std::optional<ServerSettings> first = ServerSettings::fromJson(object);
        const std::optional<ServerSettings> second = ServerSettings::fromJson(object);
        QVERIFY(first && second);
        QVERIFY(!first->id.isNull());
        QVERIFY(first->id != second->id);
        QCOMPARE(first->serverName, QStringLiteral("Casa"));
    }

    void rejectsWrongTypes_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("id number") << json("{'id':5}");
        QTest::newRow("id not a uuid") << json("{'id':'server-1'}");
        QTest::newRow("id empty text") << json("{'id':''}");
        QTest::newRow("name number") << json("{'serverName':5}");
        QTest::newRow("internal address list") << json("{'internalURL':['http://a']}");
        QTest::newRow("external address bool") << json("{'externalURL':true}");
        QTest::newRow("username object") << json("{'username':{}}");
        QTest::newRow("interval text") << json("{'gridRefreshSeconds':'2'}");
        QTest::newRow("interval bool") << json("{'gridRefreshSeconds':true}");
        QTest::newRow("substream number") << json("{'liveUsesSubstream':1}");
        QTest::newRow("detections text") << json("{'showDetections':'true'}");
    }

    void rejectsWrongTypes()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!ServerSettings::fromJson(parse(json)));
    }

    void encodesEveryFieldUnderItsName()
    {
        ServerSettings settings;
        settings.id = knownID;
        settings.serverName = QStringLiteral("Casa");
        settings.internalURL = QStringLiteral("192.168.1.10:5000");
        settings.externalURL = QStringLiteral("https://nvr.example.org");
        settings.username = QStringLiteral("admin");
        settings.gridRefreshSeconds = 4.25;
        settings.liveUsesSubstream = true;
        settings.showDetections = false;

        const QJsonObject object = settings.toJson();
        const QStringList expectedKeys{"externalURL", "gridRefreshSeconds", "id", "internalURL",
                                       "liveUsesSubstream", "serverName", "showDetections", "username"};
        QCOMPARE(object.keys(), expectedKeys);
        QCOMPARE(object.value("id").toString(), QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B"));
        QCOMPARE(object.value("gridRefreshSeconds").toDouble(), 4.25);
        QCOMPARE(object.value("liveUsesSubstream").toBool(), true);

        const QByteArray bytes = QJsonDocument(object).toJson();
        const std::optional<ServerSettings> decoded = ServerSettings::fromJson(parse(bytes));
        QVERIFY(decoded);
        QVERIFY(*decoded == settings);
    }

    void idTextIsUpperCaseWithoutBraces()
    {
        for (int i = 0; i < 20; ++i) {
            ServerSettings settings;
            const QString text = settings.idText();
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(text).hasMatch(),
                     qPrintable(text));
            QVERIFY(uuidFromText(text) == settings.id);
            QVERIFY(uuidFromText(text.toLower()) == settings.id);
        }
    }

    void uuidFromTextKnowsTheNilUuid()
    {
        QVERIFY(uuidFromText(QStringLiteral("00000000-0000-0000-0000-000000000000")) == QUuid());
        QVERIFY(!uuidFromText(QStringLiteral("not a uuid")));
    }

    void displayName_data()
    {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("internalURL");
        QTest::addColumn<QString>("externalURL");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name wins") << "Casa" << "http://a" << "http://b" << "Casa";
        QTest::newRow("internal next") << "" << "http://a" << "http://b" << "http://a";
        QTest::newRow("external last") << "" << "" << "http://b" << "http://b";
        QTest::newRow("nothing") << "" << "" << "" << "Frigate";
        QTest::newRow("blank name is kept") << " " << "http://a" << "" << " ";
    }

    void displayName()
    {
        QFETCH(QString, serverName);
        QFETCH(QString, internalURL);
        QFETCH(QString, externalURL);
        ServerSettings settings;
        settings.serverName = serverName;
        settings.internalURL = internalURL;
        settings.externalURL = externalURL;
        QTEST(settings.displayName(), "expected");
    }
};

QTEST_GUILESS_MAIN(TestServerSettings)
#include "tst_serversettings.moc"
