#include "PrivateSessionBus.h"
#include "SignedInModel.h"
#include "desktop/AlertNotifications.h"
#include "desktop/DesktopNotifications.h"
#include "desktop/NotificationImage.h"
#include "screens/ReviewRows.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <optional>

using namespace std::chrono_literals;

namespace {
const QString NotificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

// org.freedesktop.Notifications as a desktop offers it, keeping what it was sent.
class FakeNotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        uint id = 0;
    };
    QStringList capabilities;
    QList<Call> calls;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int)
    {
        const uint id = replacesId ? replacesId : 40 + uint(calls.size()) * 3;
        calls.append({appName, replacesId, appIcon, summary, body, actions, hints, id});
        return id;
    }
    void CloseNotification(uint) { }
};

// A signed-in model polling a fake Frigate, its alerts told to a fake desktop on a private bus.
struct NotificationRig
{
    PrivateSessionBus bus;
    SignedInModel app;
    FakeNotificationService service;
    std::optional<QDBusConnection> serviceBus;
    std::unique_ptr<DesktopNotifications> desktop;
    std::unique_ptr<AlertNotifications> alerts;
    std::unique_ptr<QSignalSpy> checks;
    bool inFront = false;

    bool start()
    {
        if (!bus.start() || !app.start(QStringLiteral("0.16")))
            return false;
        // Every pass asks the same URI within the same second of real time.
        app.server.configure({{QStringLiteral("json_cache"), false}});
        desktop = std::make_unique<DesktopNotifications>(bus.connect(QStringLiteral("app")));
        alerts = std::make_unique<AlertNotifications>(app.model.get(), desktop.get());
        alerts->setForegroundCheck([this] { return inFront; });
        checks = std::make_unique<QSignalSpy>(alerts.get(), &AlertNotifications::checked);
        return true;
    }

    bool offerService(const QStringList &capabilities)
    {
        service.capabilities = capabilities;
        serviceBus = bus.connect(QStringLiteral("desktop"));
        return serviceBus->registerObject(NotificationsPath, &service, QDBusConnection::ExportAllSlots)
            && serviceBus->registerService(NotificationsService);
    }

    // Every window minimised: the background polling's first pass runs at once.
    bool hide()
    {
        const qsizetype before = checks->size();
        app.model->handleApplicationState(Qt::ApplicationHidden);
        return QTest::qWaitFor([&] { return checks->size() > before; }, 20000);
    }

    bool nextPass()
    {
        const qsizetype before = checks->size();
        app.clock.advance(30s);
        return QTest::qWaitFor([&] { return checks->size() > before; }, 20000);
    }

    QString cameraName(const QString &camera) const { return displayCameraName(app.model->cameras(), camera); }

    void invokeAction(uint id, const QString &action)
    {
        QDBusMessage signal = QDBusMessage::createSignal(NotificationsPath, NotificationsService,
                                                         QStringLiteral("ActionInvoked"));
        signal << id << action;
        serviceBus->send(signal);
    }
};

class TestDesktopNotifications : public QObject
{
    Q_OBJECT
private slots:
    void newAlertsInTheBackground_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QStringList>("cameras");
        QTest::addColumn<bool>("withImage");

        QTest::newRow("one alert, icon drawn") << QStringList{"body", "actions", "icon-static"}
                                               << QStringList{"front_door"} << true;
        QTest::newRow("two alerts, text only") << QStringList{"body", "actions"}
                                               << QStringList{"front_door", "driveway"} << false;
        QTest::newRow("images in the body") << QStringList{"body", "body-images"}
                                            << QStringList{"back_yard", "driveway", "back_yard"} << true;
    }

    void newAlertsInTheBackground()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QStringList, cameras);
        QFETCH(bool, withImage);
        NotificationRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.offerService(capabilities));
        QVERIFY(rig.hide());

        QString newest;
        for (const QString &camera : cameras)
            newest = rig.app.server.addReview(camera).value(QStringLiteral("id")).toString();
        QVERIFY(rig.nextPass());
        QTRY_COMPARE_WITH_TIMEOUT(rig.service.calls.size(), 1, 20000);

        const FakeNotificationService::Call first = rig.service.calls.constFirst();
        QCOMPARE(first.appName, QStringLiteral("Kestrova"));
        QCOMPARE(first.appIcon, QStringLiteral("org.kestrova.Kestrova"));
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("org.kestrova.Kestrova"));
        QCOMPARE(first.hints.value(QStringLiteral("category")).toString(), QStringLiteral("device"));
        QVERIFY(first.actions.contains(QStringLiteral("default")));
        if (cameras.size() == 1) {
            QVERIFY2(first.summary.startsWith(rig.cameraName(cameras.first())), qPrintable(first.summary));
            QVERIFY2(first.summary.contains(QStringLiteral("Person")), qPrintable(first.summary));
        } else {
            QCOMPARE(first.summary, QStringLiteral("%1 new alerts").arg(cameras.size()));
            for (const QString &camera : cameras)
                QVERIFY2(first.body.contains(rig.cameraName(camera)), qPrintable(first.body));
            QCOMPARE(first.body.count(rig.cameraName(cameras.last())), 1);
        }
        QCOMPARE(first.hints.contains(QStringLiteral("image-data")), withImage);
        if (withImage) {
            NotificationImage image;
            qvariant_cast<QDBusArgument>(first.hints.value(QStringLiteral("image-data"))) >> image;
            const QImage picture = image.toImage();
            QVERIFY(!picture.isNull());
            QVERIFY(picture.width() <= 256 && picture.height() <= 256);
        }

        // The next pass's alert replaces the notification, which now counts every alert told.
        newest = rig.app.server.addReview(QStringLiteral("front_door")).value(QStringLiteral("id")).toString();
        QVERIFY(rig.nextPass());
        QTRY_COMPARE_WITH_TIMEOUT(rig.service.calls.size(), 2, 20000);
        const FakeNotificationService::Call second = rig.service.calls.at(1);
        QCOMPARE(second.replacesId, first.id);
        QCOMPARE(second.summary, QStringLiteral("%1 new alerts").arg(cameras.size() + 1));

        // Only the default action of the notification shown opens the newest alert.
        QSignalSpy raised(rig.app.model.get(), &AppModel::raiseRequested);
        QSignalSpy opened(rig.app.model.get(), &AppModel::alertOpenRequested);
        rig.invokeAction(second.id + 1, QStringLiteral("default"));
        rig.invokeAction(second.id, QStringLiteral("other"));
        rig.invokeAction(second.id, QStringLiteral("default"));
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 10000);
        QCOMPARE(opened.constFirst().constFirst().toString(), newest);
        QCOMPARE(raised.size(), 1);
    }

    // Alerts met while a window is in front are the user's to see there: never told later.
    void nothingWhileInFront()
    {
        NotificationRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.offerService({QStringLiteral("body")}));
        rig.inFront = true;
        QVERIFY(rig.hide());
        rig.app.server.addReview(QStringLiteral("driveway"));
        QVERIFY(rig.nextPass());
        rig.inFront = false;
        QVERIFY(rig.nextPass());
        rig.app.server.addReview(QStringLiteral("back_yard"));
        QVERIFY(rig.nextPass());
        QTRY_COMPARE_WITH_TIMEOUT(rig.service.calls.size(), 1, 20000);
        const QString told = rig.service.calls.constFirst().summary;
        QVERIFY2(told.startsWith(rig.cameraName(QStringLiteral("back_yard"))), qPrintable(told));
    }

    // Off: no polling in the background. Back on: what came meanwhile is not told, only what follows.
    void settingOff()
    {
        NotificationRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.offerService({QStringLiteral("body")}));
        rig.app.model->setNotifyAlerts(false);
        rig.app.model->handleApplicationState(Qt::ApplicationHidden);
        QVERIFY(!rig.app.model->isPolling());
        rig.app.server.addReview(QStringLiteral("driveway"));

        const qsizetype before = rig.checks->size();
        rig.app.model->setNotifyAlerts(true);
        QVERIFY(rig.app.model->isPolling());
        QTRY_VERIFY_WITH_TIMEOUT(rig.checks->size() > before, 20000);
        rig.app.server.addReview(QStringLiteral("back_yard"));
        QVERIFY(rig.nextPass());
        QTRY_COMPARE_WITH_TIMEOUT(rig.service.calls.size(), 1, 20000);
        QVERIFY(rig.service.calls.constFirst().summary.startsWith(rig.cameraName(QStringLiteral("back_yard"))));
    }

    // No notification service on the bus: nothing breaks, and one that starts later is used.
    void serviceStartsLater()
    {
        NotificationRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.hide());
        rig.app.server.addReview(QStringLiteral("driveway"));
        QVERIFY(rig.nextPass());
        QVERIFY(rig.offerService({QStringLiteral("body"), QStringLiteral("icon-static")}));
        rig.app.server.addReview(QStringLiteral("back_yard"));
        QVERIFY(rig.nextPass());
        // The first may still have been on its way when the service came; the last counts both.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.service.calls.isEmpty()
                                     && rig.service.calls.constLast().summary == QStringLiteral("2 new alerts"), 20000);
        const FakeNotificationService::Call call = rig.service.calls.constLast();
        QCOMPARE(call.replacesId, rig.service.calls.size() == 1 ? 0u : rig.service.calls.constFirst().id);
        QVERIFY(call.hints.contains(QStringLiteral("image-data")));
    }
};

QTEST_MAIN(TestDesktopNotifications)
#include "tst_desktopnotifications.moc"
