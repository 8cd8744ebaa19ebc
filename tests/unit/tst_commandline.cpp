#include "state/CommandLine.h"
#include "state/ServerSettings.h"

#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    }

    // Scripts rely on the exit codes: 0 for help and version, 2 for any mistake, none to run on.
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the app runs
        QTest::addColumn<QString>("messagePart");
        QTest::addColumn<QString>("server");
        QTest::newRow("nothing") << QStringList{} << -1 << "" << "";
        QTest::newRow("server") << QStringList{"--server", "Casa"} << -1 << "" << "Casa";
        QTest::newRow("server with =") << QStringList{"--server=Casa al mare"} << -1 << "" << "Casa al mare";
        QTest::newRow("language only") << QStringList{"--lang", "it"} << -1 << "" << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--server <name>" << "";
        QTest::newRow("help wins over server") << QStringList{"--server", "Casa", "-h"} << 0 << "--lang <code>" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Kestrova 1.2.3\n" << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "bogus" << "";
        QTest::newRow("server without its name") << QStringList{"--server"} << 2 << "server" << "";
        QTest::newRow("stray argument") << QStringList{"Casa"} << 2 << "Casa" << "";
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, messagePart);
        QFETCH(QString, server);
        const CommandLineRequest request = parseCommandLine(QStringList{"kestrova"} + arguments);
        QCOMPARE(request.exitCode.value_or(-1), exitCode);
        QVERIFY2(request.message.contains(messagePart), qPrintable(request.message));
        QCOMPARE(request.message.isEmpty(), exitCode < 0);
        QCOMPARE(request.server, server);
    }

    // An exact name wins; a name that differs only in case is taken only when it is unambiguous.
    void serverNamed_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<int>("found"); // index into stored, -1 for none
        QTest::newRow("exact") << QStringList{"Casa", "Ufficio"} << "Ufficio" << 1;
        QTest::newRow("exact beats caseless") << QStringList{"casa", "Casa"} << "Casa" << 1;
        QTest::newRow("caseless, one match") << QStringList{"Casa", "Ufficio"} << "casa" << 0;
        QTest::newRow("caseless, two matches") << QStringList{"casa", "CASA"} << "Casa" << -1;
        QTest::newRow("no match") << QStringList{"Casa"} << "Cas" << -1;
        QTest::newRow("no servers") << QStringList{} << "Casa" << -1;
    }

    void serverNamed()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, asked);
        QFETCH(int, found);
        QList<ServerSettings> servers;
        for (const QString &name : stored) {
            ServerSettings server;
            server.serverName = name;
            server.id = QUuid::createUuid();
            servers.append(server);
        }
        const auto match = ::serverNamed(servers, asked);
        QCOMPARE(match.has_value(), found >= 0);
        if (match)
            QCOMPARE(match->id, servers[found].id);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
