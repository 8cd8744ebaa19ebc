#include "ManualPollingClock.h"
#include "SignedInModel.h"
#include "TaskRunner.h"
#include "UserFolders.h"
#include "client/FilePublishing.h"
#include "screens/CameraLiveViewModel.h"
#include "screens/CamerasViewModel.h"
#include "screens/DesktopFiles.h"

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

CameraInfo cameraNamed(const QString &name, const QString &subStream = {})
{
    CameraInfo camera;
    camera.name = name;
    camera.friendlyName = name.toUpper();
    camera.mainStream = name + QStringLiteral("_main");
    if (!subStream.isEmpty())
        camera.subStream = subStream;
    return camera;
}

// A model without a server holding cameras a, b (with a substream), c and d (with one).
struct OfflineModel
{
    MemoryPreferencesStore preferences;
    MemorySecretStore secrets;
    ServerTrust trust{&preferences};
    ManualPollingClock clock;
    AppModel model{&preferences, &secrets, &trust, &clock};

    explicit OfflineModel(bool prefersSubstream, bool withCameras = true)
    {
        ServerSettings settings;
        settings.liveUsesSubstream = prefersSubstream;
        ServerList list;
        list.servers = {settings};
        saveServerList(preferences, list);
        runTask(model.initialize());
        if (withCameras)
            model.setCameraOrder(QList<CameraInfo>{cameraNamed("a"), cameraNamed("b", "b_sub"), cameraNamed("c"),
                                                   cameraNamed("d", "d_sub")});
    }
};

// Every snapshot is stamped with the same moment, so a second one in the same second is certain.
class FixedTimeLive : public CameraLiveViewModel
{
protected:
    QDateTime snapshotTime() const override { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); }
};

} // namespace

class TestCameraViews : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { QVERIFY(useFoldersIn(m_home)); }

    void columns_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("columns");
        QTest::newRow("400 is 2, not 1") << 400.0 << 2;
        QTest::newRow("1000 is 4") << 1000.0 << 4;
        QTest::newRow("1075 is 5") << 1075.0 << 5;
        QTest::newRow("2000 is 5, not 9") << 2000.0 << 5;
        QTest::newRow("100 is 2") << 100.0 << 2;
    }

    void columns()
    {
        QFETCH(double, width);
        QFETCH(int, columns);
        QCOMPARE(CamerasViewModel::columnsFor(width), columns);
    }

    void availability_data()
    {
        QTest::addColumn<bool>("hasStats");
        QTest::addColumn<QVariant>("fps");
        QTest::addColumn<bool>("sending");
        QTest::newRow("0 fps") << true << QVariant(0.0) << false;
        QTest::newRow("negative fps") << true << QVariant(-1.0) << false;
        QTest::newRow("5 fps") << true << QVariant(5.0) << true;
        QTest::newRow("no stats yet") << false << QVariant() << true;
        QTest::newRow("camera missing from stats") << true << QVariant() << true;
    }

    void availability()
    {
        QFETCH(bool, hasStats);
        QFETCH(QVariant, fps);
        QFETCH(bool, sending);
        std::optional<StatsSnapshot> stats;
        if (hasStats) {
            stats.emplace();
            stats->cameras.insert(QStringLiteral("other"), CameraStats{});
            if (fps.isValid())
                stats->cameras[QStringLiteral("a")].fps = fps.toDouble();
        }
        QCOMPARE(CamerasViewModel::sendsPictures(stats, QStringLiteral("a")), sending);
    }

    // "No cameras" is for a server whose configuration names none, not for one still signing in
    // or signed out.
    void noCameras_data()
    {
        QTest::addColumn<QJsonObject>("reload"); // the answer to a second /api/config, none if empty
        QTest::addColumn<bool>("signOut");
        QTest::addColumn<bool>("noCameras");
        const QJsonObject none{{"path", "^/api/config$"}, {"body", R"({"cameras": {}})"}};
        QTest::newRow("cameras") << QJsonObject{} << false << false;
        QTest::newRow("reloaded with none") << none << false << true;
        QTest::newRow("signed out") << none << true << false;
    }

    void noCameras()
    {
        QFETCH(QJsonObject, reload);
        QFETCH(bool, signOut);
        QFETCH(bool, noCameras);
        SignedInModel app;
        QVERIFY(app.start(QStringLiteral("0.16")));
        CamerasViewModel grid;
        grid.setAppModel(app.model.get());
        if (!reload.isEmpty()) {
            app.server.addFault(reload);
            runTask(app.model->loadConfig());
        }
        if (signOut)
            app.model->disconnect();
        QCOMPARE(grid.noCameras(), noCameras);
    }

    // Previous/next wrap at both ends and do nothing for a camera outside the list.
    void stepping_data()
    {
        QTest::addColumn<bool>("withCameras");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("delta");
        QTest::addColumn<QString>("to");
        QTest::newRow("next from the last is the first") << true << "d" << 1 << "a";
        QTest::newRow("previous from the first is the last") << true << "a" << -1 << "d";
        QTest::newRow("next in the middle") << true << "b" << 1 << "c";
        QTest::newRow("camera not in the list") << true << "x" << 1 << "x";
        QTest::newRow("empty list") << false << "a" << -1 << "a";
    }

    void stepping()
    {
        QFETCH(bool, withCameras);
        QFETCH(QString, from);
        QFETCH(int, delta);
        QFETCH(QString, to);
        OfflineModel app(false, withCameras);
        CameraLiveViewModel live;
        live.setAppModel(&app.model);
        live.setCameraName(from);
        live.step(delta);
        QCOMPARE(live.cameraName(), to);
    }

    // Which stream plays as the camera and the quality change, and what the status line says;
    // a change of stream starts loading afresh.
    void streams_data()
    {
        QTest::addColumn<bool>("prefersSub");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("askSub"); // -1: no choice made
        QTest::addColumn<QString>("stream");
        QTest::addColumn<bool>("restarts");
        const auto row = [](const char *name, bool prefers, const char *first, const char *then, int ask,
                            const char *stream, bool restarts) {
            QTest::newRow(name) << prefers << first << then << ask << stream << restarts;
        };
        row("prefers sub, camera has one", true, "b", "", -1, "b_sub", false);
        row("prefers sub, camera has none", true, "a", "", -1, "a_main", false);
        row("prefers main, camera has sub", false, "b", "", -1, "b_main", false);
        row("switch to a camera without sub", true, "b", "c", -1, "c_main", true);
        row("switch between cameras with sub", true, "b", "d", -1, "d_sub", true);
        row("none, then a camera with sub", true, "a", "b", -1, "b_main", true);
        row("reduced asked, camera has none", false, "a", "", 1, "a_main", false);
        row("reduced asked", false, "b", "", 1, "b_sub", true);
        row("high asked", true, "b", "", 0, "b_main", true);
    }

    void streams()
    {
        QFETCH(bool, prefersSub);
        QFETCH(QString, first);
        QFETCH(QString, then);
        QFETCH(int, askSub);
        QFETCH(QString, stream);
        QFETCH(bool, restarts);
        OfflineModel app(prefersSub);
        CameraLiveViewModel live;
        live.setAppModel(&app.model);
        live.setCameraName(first);
        live.setLiveStatus(CameraLiveViewModel::Playing);
        if (!then.isEmpty())
            live.select(then);
        if (askSub >= 0)
            live.setUseSub(askSub == 1);
        QCOMPARE(live.streamName(), stream);
        QCOMPARE(live.liveStatus(), int(restarts ? CameraLiveViewModel::Loading : CameraLiveViewModel::Playing));
        live.setLiveStatus(CameraLiveViewModel::Playing);
        live.setLiveText(QStringLiteral("mjpeg"));
        const QString quality = stream.endsWith("_sub") ? "Reduced quality" : "High quality";
        QCOMPARE(live.statusLine(), quality + QStringLiteral(" · MJPEG"));
    }

    // Choosing the camera already shown keeps its player: no stream or status change.
    void selectingShownCameraChangesNothing()
    {
        OfflineModel app(true);
        CameraLiveViewModel live;
        live.setAppModel(&app.model);
        live.setCameraName(QStringLiteral("b"));
        live.setLiveStatus(CameraLiveViewModel::Playing);
        QSignalSpy streams(&live, &CameraLiveViewModel::streamChanged);
        live.select(QStringLiteral("b"));
        QCOMPARE(streams.count(), 0);
        QCOMPARE(live.liveStatus(), int(CameraLiveViewModel::Playing));
    }

    // Esc first leaves immersive mode, and only then leaves the screen.
    void backLeavesImmersiveFirst()
    {
        CameraLiveViewModel live;
        live.toggleImmersive();
        QVERIFY(!live.back());
        QVERIFY(!live.immersive());
        QVERIFY(live.back());
    }

    // Snapshots keep the server's bytes under <camera>_<stamp>.jpg, never over an earlier one;
    // a camera the statistics report at 0 fps is refused (the server would send its stock picture).
    void snapshots_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("toast");
        const QStringList both{"front_door_20260304_050607 (2).jpg", "front_door_20260304_050607.jpg"};
        QTest::newRow("0.16") << "0.16" << QJsonObject{} << both << "Snapshot saved to <folder>";
        QTest::newRow("0.14") << "0.14" << QJsonObject{} << both << "Snapshot saved to <folder>";
        const QJsonObject stopped{{"cameras", QJsonObject{{"front_door", QJsonObject{{"camera_fps", 0}}}}}};
        QTest::newRow("0 fps") << "0.16"
                               << QJsonObject{{"path", "^/api/stats$"},
                                              {"body", QString::fromUtf8(QJsonDocument(stopped).toJson())}}
                               << QStringList{} << "Front Door is not sending pictures: there is no snapshot to save";
        QTest::newRow("server error") << "0.16" << QJsonObject{{"path", "latest"}, {"status", 500}} << QStringList{}
                                      << "Couldn't save the snapshot";
        QTest::newRow("not a picture") << "0.16"
                                       << QJsonObject{{"path", "latest"},
                                                      {"body", "camera error"},
                                                      {"content_type", "image/jpeg"}}
                                       << QStringList{} << "Couldn't save the snapshot";
    }

    void snapshots()
    {
        QFETCH(QString, version);
        QFETCH(QJsonObject, fault);
        QFETCH(QStringList, files);
        QFETCH(QString, toast);
        SignedInModel app;
        QVERIFY(app.start(version));
        if (!fault.isEmpty())
            app.server.addFault(fault);
        runTask(app.model->refreshStats());
        const QDir folder(m_home.filePath(QStringLiteral("Pictures/Kestrova")));
        QDir(folder).removeRecursively();
        FixedTimeLive live;
        live.setAppModel(app.model.get());
        live.setCameraName(QStringLiteral("front_door"));
        for (int shot = 0; shot < 2; ++shot) {
            live.showToast({});
            live.saveSnapshot();
            QTRY_VERIFY(!live.toast().isEmpty());
        }
        QCOMPARE(live.toast(), toast.replace("<folder>", DesktopFiles::displayPath(folder.absolutePath())));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
        const bool sending = !toast.contains("not sending");
        QCOMPARE(live.canSaveSnapshot(), sending);
        CamerasViewModel grid;
        grid.setAppModel(app.model.get());
        QCOMPARE(grid.unavailableCameras(), sending ? QStringList() : QStringList{"front_door"});
        for (const QString &file : files)
            QVERIFY(!QImage(folder.filePath(file)).isNull());
    }

    // A saved file appears whole under a free name, readable by all, or not at all: a failed write
    // leaves no temporary file behind and an earlier file is never replaced.
    void durableWrites_data()
    {
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("writes");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("free name") << false << true << QStringList{"shot.png"};
        QTest::newRow("name taken") << true << true << QStringList{"shot (2).png", "shot.png"};
        QTest::newRow("write fails") << true << false << QStringList{"shot.png"};
    }

    void durableWrites()
    {
        QFETCH(bool, taken);
        QFETCH(bool, writes);
        QFETCH(QStringList, files);
        const QTemporaryDir folder;
        if (taken) {
            QFile earlier(folder.filePath(QStringLiteral("shot.png")));
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        const auto saved = writeDurably(folder.path(), QStringLiteral("shot.png"),
                                        [writes](QIODevice &out) { return out.write("new") == 3 && writes; });
        QCOMPARE(bool(saved), writes);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
        if (taken) {
            QFile earlier(folder.filePath(QStringLiteral("shot.png")));
            QVERIFY(earlier.open(QIODevice::ReadOnly));
            QCOMPARE(earlier.readAll(), QByteArray("earlier"));
        }
        if (writes)
            QVERIFY(QFileInfo(saved.value()).permissions().testFlag(QFile::ReadOther));
    }
};

QTEST_MAIN(TestCameraViews)
#include "tst_cameraviews.moc"
