#include "RecordTexts.h"
#include "SignedInModel.h"
#include "TaskRunner.h"
#include "screens/CameraOrderModel.h"
#include "screens/GridRefreshChoices.h"
#include "screens/SettingsViewModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {

QStringList namesIn(const CameraOrderModel &order)
{
    QStringList names;
    for (int row = 0; row < order.rowCount(); ++row)
        names.append(order.index(row).data(CameraOrderModel::NameRole).toString());
    return names;
}

QVariant fieldOf(const ServerSettings &settings, const char *name)
{
    const QMetaObject &meta = ServerSettings::staticMetaObject;
    return meta.property(meta.indexOfProperty(name)).readOnGadget(&settings);
}

QList<double> chosenOf(const QVariantList &choices)
{
    QList<double> chosen;
    for (const QVariant &choice : choices) {
        if (choice.toMap().value("chosen").toBool())
            chosen.append(choice.toMap().value("seconds").toDouble());
    }
    return chosen;
}

// A model over a fake server with sign-in, connected with the right password (so it is saved),
// or one without sign-in; the settings screen's view-model on it.
struct SettingsRig : SignedInModel
{
    SettingsViewModel view;

    bool start(bool auth, double gridRefreshSeconds = 2.0)
    {
        if (!server.start({.auth = auth}))
            return false;
        ServerSettings settings = listedServer();
        settings.serverName = QStringLiteral("Home");
        settings.gridRefreshSeconds = gridRefreshSeconds;
        ServerList list;
        list.servers = {settings};
        startModel(list);
        runTask(model->connect(auth ? std::optional(server.options().password) : std::nullopt));
        view.setAppModel(model.get());
        // The first polling pass asks for the review summary too; it must be over.
        const bool settled = settle();
        server.clearRequests();
        return model->isLoggedIn() && settled;
    }

    ServerSettings stored() { return runTask(loadServerList(preferences, secrets)).servers.value(0); }
};

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private slots:
    // Connection fields wait for "Save and reconnect"; leaving the screen drops them.
    void draftWaitsForSave_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("save");
        QTest::newRow("site name, left") << QByteArray("serverName") << "Garage" << false;
        QTest::newRow("site name, saved") << QByteArray("serverName") << "Garage" << true;
        QTest::newRow("remote address, left") << QByteArray("externalURL") << "https://cams.example.org" << false;
        QTest::newRow("remote address, saved") << QByteArray("externalURL") << "https://cams.example.org" << true;
    }

    void draftWaitsForSave()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, value);
        QFETCH(bool, save);
        SettingsRig rig;
        QVERIFY(rig.start(false));
        const ServerSettings before = rig.model->settings();

        rig.view.setProperty(field, value);
        QCOMPARE(rig.model->settings(), before);
        if (save) {
            runTask(rig.view.saveAndReconnectTask());
            QVERIFY(rig.model->isLoggedIn());
        }
        rig.view.takeDraft();

        const QString expected = save ? value : fieldOf(before, field).toString();
        QCOMPARE(rig.view.property(field).toString(), expected);
        QCOMPARE(fieldOf(rig.model->settings(), field).toString(), expected);
        QCOMPARE(fieldOf(rig.stored(), field).toString(), expected);
        QCOMPARE(rig.server.requestsTo("/api/config").size(), save ? 1 : 0);
    }

    // An empty new password keeps the saved one; whatever happens, the typed one is cleared.
    void saveReconnects_data()
    {
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<bool>("dropToken");
        QTest::addColumn<int>("logins");
        QTest::addColumn<QString>("error");
        QTest::newRow("kept, token held") << "" << false << 0 << "";
        QTest::newRow("kept, token gone: saved password") << "" << true << 1 << "";
        QTest::newRow("typed, right") << "secret" << false << 1 << "";
        QTest::newRow("typed, wrong") << "nope" << false << 1 << "Invalid username or password.";
    }

    void saveReconnects()
    {
        QFETCH(QString, newPassword);
        QFETCH(bool, dropToken);
        QFETCH(int, logins);
        QFETCH(QString, error);
        SettingsRig rig;
        QVERIFY(rig.start(true));
        if (dropToken) {
            rig.model->client()->clearCookies();
            runTask(rig.model->client()->dropToken());
        }

        rig.view.setNewPassword(newPassword);
        QSignalSpy saving(&rig.view, &SettingsViewModel::savingChanged);
        runTask(rig.view.saveAndReconnectTask());

        QCOMPARE(rig.server.requestsTo("/api/login").size(), logins);
        QCOMPARE(rig.model->lastError().value_or(QString()), error);
        QCOMPARE(rig.view.saveError(), error);
        QCOMPARE(saving.count(), 2);
        QVERIFY(!rig.view.saving());
        QVERIFY(rig.view.newPassword().isEmpty());
    }

    // Display preferences reach the model and the stored list at once, alone: no reconnect, and
    // an unsaved site name stays unsaved.
    void preferencesApplyAtOnce_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("grid refresh") << QByteArray("gridRefreshSeconds") << QVariant(10.0);
        QTest::newRow("reduced quality") << QByteArray("liveUsesSubstream") << QVariant(true);
        QTest::newRow("detections off") << QByteArray("showDetections") << QVariant(false);
    }

    void preferencesApplyAtOnce()
    {
        QFETCH(QByteArray, field);
        QFETCH(QVariant, value);
        SettingsRig rig;
        QVERIFY(rig.start(false));
        const int revision = rig.model->reviewRevision();
        QSignalSpy reloads(rig.model.get(), &AppModel::reviewRevisionChanged);

        rig.view.setServerName(QStringLiteral("Unsaved"));
        rig.view.setProperty(field, value);

        QCOMPARE(fieldOf(rig.model->settings(), field), value);
        QCOMPARE(fieldOf(rig.stored(), field), value);
        QCOMPARE(rig.stored().serverName, QStringLiteral("Home"));
        QVERIFY(rig.model->isLoggedIn());
        QCOMPARE(rig.server.requestsTo("/api/config").size(), 0);
        if (field == "showDetections") {
            // The control calls above run the event loop, so the reload may already be in.
            QTRY_COMPARE_WITH_TIMEOUT(reloads.count(), 1, 10000);
            QCOMPARE(rig.model->reviewRevision(), revision + 1);
            QCOMPARE(rig.server.requestsTo("/api/review/summary").size(), 1);
        } else {
            QCOMPARE(rig.model->reviewRevision(), revision);
        }
    }

    // One list for the Cameras menu and Settings: a rate picked in either, or stored by an older
    // version outside the list, shows as the one chosen rate in both.
    void refreshChoicesShared_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<int>("offered");
        QTest::newRow("listed rate") << 10.0 << 4;
        QTest::newRow("older rate outside the list") << 3.0 << 5;
    }

    void refreshChoicesShared()
    {
        QFETCH(double, stored);
        QFETCH(int, offered);
        SettingsRig rig;
        QVERIFY(rig.start(false, stored));
        const auto menu = [&rig] { return GridRefreshChoices::choicesFor(rig.model->settings().gridRefreshSeconds); };

        QCOMPARE(rig.view.refreshChoices(), menu());
        QCOMPARE(menu().size(), offered);
        QCOMPARE(chosenOf(menu()), QList<double>{stored});

        GridRefreshChoices::choose(rig.model.get(), 5);
        QCOMPARE(chosenOf(rig.view.refreshChoices()), QList<double>{5});
        QCOMPARE(rig.stored().gridRefreshSeconds, 5.0);
        QCOMPARE(rig.view.refreshChoices().size(), 4);

        rig.view.setGridRefreshSeconds(1);
        QCOMPARE(chosenOf(menu()), QList<double>{1});
    }

    void orderModelMoves_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("expected");
        // The fake server's cameras in uiOrder: driveway, front_door, back_yard.
        QTest::newRow("first to last") << 0 << 2 << QStringList{"front_door", "back_yard", "driveway"};
        QTest::newRow("last to first") << 2 << 0 << QStringList{"back_yard", "driveway", "front_door"};
        QTest::newRow("one down") << 0 << 1 << QStringList{"front_door", "driveway", "back_yard"};
        QTest::newRow("one up") << 2 << 1 << QStringList{"driveway", "back_yard", "front_door"};
        QTest::newRow("past the end") << 1 << 3 << QStringList{"driveway", "front_door", "back_yard"};
        QTest::newRow("in place") << 1 << 1 << QStringList{"driveway", "front_door", "back_yard"};
    }

    // Every move is stored and the grid follows at once; the order outlives a reconnect.
    void orderModelMoves()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, expected);
        SettingsRig rig;
        QVERIFY(rig.start(false));
        CameraOrderModel order;
        QAbstractItemModelTester tester(&order, QAbstractItemModelTester::FailureReportingMode::QtTest);
        order.setAppModel(rig.model.get());
        QCOMPARE(order.count(), 3);

        order.move(from, to);
        QCOMPARE(namesIn(order), expected);
        QCOMPARE(namesOf(rig.model->cameras()), expected);

        rig.model->disconnect();
        QCOMPARE(order.count(), 0);
        runTask(rig.model->connect(std::nullopt));
        QCOMPARE(namesOf(rig.model->cameras()), expected);
        QCOMPARE(namesIn(order), expected);
    }

    // Another server starts with a fresh draft and no address until it answers.
    void followsServerSwitch()
    {
        SettingsRig rig;
        QVERIFY(rig.start(false));
        rig.view.setServerName(QStringLiteral("Unsaved"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        ServerSettings other;
        other.serverName = QStringLiteral("Cabin");
        other.internalURL = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        rig.model->saveServer(other);

        rig.model->selectServer(other);
        QCOMPARE(rig.view.serverName(), other.serverName);
        QVERIFY(rig.view.addressInUse().isEmpty());
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(rig.view.addressInUse().isEmpty());
        QCOMPARE(rig.view.connectionText(), QStringLiteral("Not connected"));

        rig.model->selectServer(rig.stored());
        runTask(rig.model->connect(std::nullopt));
        QVERIFY(rig.view.addressInUse().startsWith(rig.server.baseUrl()));
        QCOMPARE(rig.view.connectionText(), QStringLiteral("Local network"));
        QCOMPARE(rig.view.serverName(), QStringLiteral("Home"));
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
