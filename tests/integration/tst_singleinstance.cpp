#include "ChildProcess.h"
#include "PrivateSessionBus.h"
#include "desktop/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Launches of the real application on a private bus, each with a configuration folder of its own.
class TestSingleInstance : public QObject
{
    Q_OBJECT

    PrivateSessionBus m_bus;
    QTemporaryDir m_home;

    QProcessEnvironment environment(const QString &configName) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(configName));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kestrova.desktop.info=true"));
        return env;
    }

    QString busName(const QString &configName) const
    {
        return SingleInstance::serviceNameFor(m_home.filePath(configName) + QStringLiteral("/Kestrova/Kestrova/Kestrova.ini"));
    }

    void launch(QProcess &process, const QString &configName, const QStringList &arguments = {})
    {
        process.setProcessEnvironment(environment(configName));
        process.start(QStringLiteral(KESTROVA_APP_BINARY), arguments);
    }

    bool owned(const QString &name)
    {
        return QDBusConnection(QStringLiteral("watcher")).interface()->isServiceRegistered(name).value();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_bus.start());
        QVERIFY(m_bus.connect(QStringLiteral("watcher")).isConnected());
    }

    void secondLaunchHandsOver()
    {
        QProcess first;
        launch(first, QStringLiteral("config"));
        QTRY_VERIFY_WITH_TIMEOUT(owned(busName(QStringLiteral("config"))), 30000);

        QProcess second;
        launch(second, QStringLiteral("config"), {QStringLiteral("--server"), QStringLiteral("Garage NVR")});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += first.readAllStandardError()).contains("activated by another launch"), 10000);
        QVERIFY2(log.contains("Garage NVR"), log.constData());
        QCOMPARE(first.state(), QProcess::Running);
        endChildProcess(first);
    }

    // A demo with its own configuration is a separate app: it neither raises nor is raised.
    void otherConfigurationRunsAlongside()
    {
        QCOMPARE_NE(busName(QStringLiteral("config")), busName(QStringLiteral("demo")));
        QProcess real;
        launch(real, QStringLiteral("config"));
        QTRY_VERIFY_WITH_TIMEOUT(owned(busName(QStringLiteral("config"))), 30000);
        QProcess demo;
        launch(demo, QStringLiteral("demo"));
        QTRY_VERIFY_WITH_TIMEOUT(owned(busName(QStringLiteral("demo"))), 30000);
        QCOMPARE(demo.state(), QProcess::Running);
        QVERIFY(!real.readAllStandardError().contains("activated by another launch"));
        endChildProcess(demo);
        endChildProcess(real);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
