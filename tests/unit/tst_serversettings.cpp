#include "state/ServerSettings.h"

#include <QJsonDocument>
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

} // namespace

class TestServerSettings : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("expected"); // fieldsOf, or empty when the decode fails

        QTest::newRow("all keys") << parse("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B','serverName':'Casa',"
                                           "'internalURL':'http://a:5000','externalURL':'https://b','username':'u',"
                                           "'gridRefreshSeconds':7.5,'liveUsesSubstream':true,'showDetections':false}")
                                  << "Casa|http://a:5000|https://b|u|7.5|1|0";
        QTest::newRow("nulls give defaults")
            << parse("{'id':'6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B','serverName':null,'gridRefreshSeconds':null,"
                     "'showDetections':null}")
            << "||||2|0|1";
        QTest::newRow("lower-case id, whole number, unknown keys")
            << parse("{'id':'6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b','password':'x','gridRefreshSeconds':10}")
            << "||||10|0|1";
        QTest::newRow("id number") << parse("{'id':5}") << QString();
        QTest::newRow("id not a uuid") << parse("{'id':'server-1'}") << QString();
        // One row per kind of field: text, number, flag.
        QTest::newRow("name number") << parse("{'serverName':5}") << QString();
        QTest::newRow("interval text") << parse("{'gridRefreshSeconds':'2'}") << QString();
        QTest::newRow("substream number") << parse("{'liveUsesSubstream':1}") << QString();
    }

    void decode()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, expected);
        const std::optional<ServerSettings> settings = ServerSettings::fromJson(json);
        QCOMPARE(settings.has_value(), !expected.isEmpty());
        if (!settings)
            return;
        QCOMPARE(settings->idText(), QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-9C0D1E2F3A4B"));
        QCOMPARE(fieldsOf(*settings), expected);
    }

    void absentIdIsFresh()
    {
        const auto first = ServerSettings::fromJson(parse("{'serverName':'Casa'}"));
        const auto second = ServerSettings::fromJson(parse("{'serverName':'Casa'}"));
        QVERIFY(first && second && !first->id.isNull() && first->id != second->id);
    }

    void displayName_data()
    {
        QTest::addColumn<QStringList>("fields"); // name, internal, external
        QTest::addColumn<QString>("expected");
        QTest::newRow("name wins") << QStringList{"Casa", "http://a", "http://b"} << "Casa";
        QTest::newRow("internal next") << QStringList{"", "http://a", "http://b"} << "http://a";
        QTest::newRow("external last") << QStringList{"", "", "http://b"} << "http://b";
        QTest::newRow("nothing") << QStringList{"", "", ""} << "Frigate";
        QTest::newRow("blank name is kept") << QStringList{" ", "http://a", ""} << " ";
    }

    void displayName()
    {
        QFETCH(QStringList, fields);
        ServerSettings settings;
        settings.serverName = fields.at(0);
        settings.internalURL = fields.at(1);
        settings.externalURL = fields.at(2);
        QTEST(settings.displayName(), "expected");
    }
};

QTEST_GUILESS_MAIN(TestServerSettings)
#include "tst_serversettings.moc"
