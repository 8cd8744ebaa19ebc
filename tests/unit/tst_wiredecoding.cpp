#include "client/FrigateApi.h"
#include "client/WireDecoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include "TestJson.h"
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QJsonValue jsonOf(const QString &text)
{
    return json(text.toUtf8().constData());
}

// A configuration holding one camera, front_door, written as `camera`.
QString frontDoor(const QString &camera)
{
    return R"({"cameras": {"front_door": )" + camera + u"}}"_s;
}

// A trimmed 0.16 stats answer, as the server sends it (all cpu_usages values are texts).
const char *Stats016 = R"({"cameras": {"front_door": {"camera_fps": 5.1, "process_fps": 5.0, "skipped_fps": 0.1,
    "detection_fps": 0.4, "pid": 512, "ffmpeg_pid": 541}},
  "detectors": {"coral": {"inference_speed": 8.91, "pid": 480}, "cpu1": {"inference_speed": "12.25"}, "broken": 7},
  "cpu_usages": {"frigate.full_system": {"cpu": "12.7", "mem": "41.3"}, "541": {"cpu": "3.0", "mem": "0.6"},
    "512": {"cpu": "5.9", "mem": "1.9", "cmdline": "frigate.process:front_door"}},
  "service": {"uptime": 86342, "version": "0.16.4-4131252", "latest_version": "0.16.4", "storage": {
      "/media/frigate/recordings": {"total": 1877522.3, "used": 412880.5, "free": 1464641.8, "mount_type": "ext4"},
      "/tmp/cache": {"total": 1024.0, "used": 12.3, "free": 1011.7, "mount_type": "tmpfs"}}}})";

const char *Reviews015 = R"([
  {"id": "1718096400.512345-k3j9xq", "camera": "front_door", "start_time": 1718096400.512345, "end_time": 1718096431.87,
   "has_been_reviewed": false, "severity": "alert", "thumb_path": "/media/frigate/clips/review/thumb-k3j9xq.webp",
   "data": {"detections": ["1718096399.98765-a1b2c3"], "objects": ["person"], "sub_labels": [], "zones": ["porch"],
            "audio": ["speech"]}}])";

// A camera as one line: friendly name|main|sub (- none)|order|enabled|recording|offset.
QString describe(const CameraInfo &c)
{
    const QString sub = c.subStream.value_or(u"-"_s);
    return u"%1|%2|%3|%4|%5|%6|%7"_s.arg(c.friendlyName, c.mainStream, sub, QString::number(c.uiOrder),
                                         c.enabled ? u"on"_s : u"off"_s, c.recordEnabled ? u"rec"_s : u"-"_s,
                                         QString::number(c.annotationOffset));
}

// Key order behind escaped keys and text that looks like structure.
const char *EscapedStreams = R"({"x": "}{cameras]", "cameras": {"front_door": {"zones": {"a": [1, {"live": "]"}]},
    "live": {"quality": 8, "streams": {"Z\u00e9": "front_door_clear", "A\/b": "front_door_b"}}}}})";

} // namespace

class TestWireDecoding : public QObject
{
    Q_OBJECT
private slots:
    // Loose wire values, each row naming its reader: "number" gives numberValue/trimmedNumberValue,
    // "box" the box as "x,y wxh" or "none", "unseen" a review summary's unseen alert count.
    void looseValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number: leading line break") << R"("\n5")" << u"0/5"_s;
        QTest::newRow("number: trailing garbage") << R"("12.5abc")" << u"0/0"_s;
        QTest::newRow("number: hexadecimal") << R"("0x10")" << u"16/16"_s;
        QTest::newRow("number: overflow") << R"("1e999")" << u"0/0"_s;
        QTest::newRow("number: infinity spelled") << R"("inf")" << u"inf/inf"_s;
        QTest::newRow("number: not a number spelled") << R"("nan")" << u"nan/nan"_s;
        QTest::newRow("number: null") << u"null"_s << u"0/0"_s;
        QTest::newRow("box: texts with white space") << R"(["0.1", " 0.2 ", "0.3", "0.4\n"])" << u"0.1,0.2 0.3x0.4"_s;
        QTest::newRow("box: full frame with slack") << u"[0, 0, 1.01, 1.01]"_s << u"0,0 1.01x1.01"_s;
        QTest::newRow("box: unreadable x reads 0") << R"(["left", 0.2, 0.3, 0.4])" << u"0,0.2 0.3x0.4"_s;
        QTest::newRow("box: too wide") << u"[0.1, 0.2, 1.5, 0.3]"_s << u"none"_s;
        QTest::newRow("box: zero width") << u"[0.1, 0.2, 0, 0.3]"_s << u"none"_s;
        QTest::newRow("box: width spelled nan") << R"([0.1, 0.2, "nan", 0.3])" << u"none"_s;
        // Counts that do not fit an integer never reach a conversion to one.
        QTest::newRow("unseen: infinite beside a good day")
            << R"({"a": {"total_alert": "inf"}, "b": {"total_alert": 2}})" << u"2"_s;
        QTest::newRow("unseen: not a number seen") << R"({"a": {"total_alert": 3, "reviewed_alert": "nan"}})" << u"3"_s;
        QTest::newRow("unseen: beyond 64 bits") << R"({"a": {"total_alert": 1e300}})" << u"2147483647"_s;
    }

    void looseValues()
    {
        QFETCH(QString, value);
        const QJsonValue v = jsonOf(value);
        const QString reader = QString::fromLatin1(QTest::currentDataTag()).section(u':', 0, 0);
        const std::optional<QRectF> box = boxValue(v);
        QString got = QString::number(FrigateApi::unseenCount(v.toObject(), false));
        if (reader == u"number")
            got = QString::number(numberValue(v)) + u'/' + QString::number(trimmedNumberValue(v));
        else if (reader == u"box")
            got = box ? u"%1,%2 %3x%4"_s.arg(box->x()).arg(box->y()).arg(box->width()).arg(box->height()) : u"none"_s;
        QTEST(got, "expected");
    }

    void cameras_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("camera"); // empty: not listed
        QTest::newRow("0.16 camera") << R"({"go2rtc": {"streams": {"front_door": [], "front_door_sub": []}},
            "cameras": {"front_door": {"name": "front_door", "enabled": true, "enabled_in_config": true,
              "detect": {"enabled": true, "annotation_offset": 0}, "record": {"enabled": true, "retain": {"days": 3}},
              "live": {"streams": {"Main": "front_door", "Sub": "front_door_sub"}, "height": 720},
              "ui": {"order": 1, "dashboard": true}}}})"
                                     << u"Front Door|front_door|front_door_sub|1|on|rec|0"_s;
        QTest::newRow("cameras not a map") << R"({"cameras": ["front_door"]})" << QString();
        QTest::newRow("hidden from dashboard") << frontDoor(R"({"ui": {"dashboard": false}})") << QString();
        QTest::newRow("friendly name, disabled, order fraction dropped")
            << frontDoor(R"({"friendly_name": "Porta di casa", "enabled": false, "ui": {"order": 2.9}})")
            << u"Porta di casa|front_door|-|2|off|-|0"_s;
        QTest::newRow("mistyped flags and order")
            << frontDoor(R"({"enabled": "no", "record": {"enabled": "true"}, "ui": {"order": "3"}})")
            << u"Front Door|front_door|-|0|on|-|0"_s;
        QTest::newRow("order beyond int")
            << frontDoor(R"({"ui": {"order": 1e12}})") << u"Front Door|front_door|-|0|on|-|0"_s;
        QTest::newRow("sub stream by name wins over order")
            << frontDoor(R"({"live": {"streams": {"a": "aaa", "b": "front_door", "c": "front_door_sub"}}})")
            << u"Front Door|aaa|front_door_sub|0|on|-|0"_s;
        QTest::newRow("streams as written: main, then sub")
            << frontDoor(R"({"live": {"streams": {"Clear": "zeta", "Balanced": "alpha"}}})")
            << u"Front Door|zeta|alpha|0|on|-|0"_s;
        QTest::newRow("written order behind escapes and look-alike text")
            << QString::fromUtf8(EscapedStreams) << u"Front Door|front_door_clear|front_door_b|0|on|-|0"_s;
        QTest::newRow("streams with a non-text value")
            << frontDoor(R"({"live": {"streams": {"a": "zeta", "b": 5}}})") << u"Front Door|front_door|-|0|on|-|0"_s;
        QTest::newRow("0.15 stream name with relay sub stream")
            << R"({"go2rtc": {"streams": {"porch_hd": ["rtsp:\/\/x"], "porch_hd_sub": ["rtsp:\/\/y"]}},
                  "cameras": {"front_door": {"live": {"stream_name": "porch_hd"}}}})"
            << u"Front Door|porch_hd|porch_hd_sub|0|on|-|0"_s;
        QTest::newRow("streams map wins over stream name and relay")
            << R"({"go2rtc": {"streams": {"front_door_sub": [], "porch_sub": []}},
                  "cameras": {"front_door": {"live": {"streams": {"Main": "front_door"}, "stream_name": "porch"}}}})"
            << u"Front Door|front_door|-|0|on|-|0"_s;
        QTest::newRow("annotation offset as text")
            << frontDoor(R"({"detect": {"annotation_offset": " -120 "}})") << u"Front Door|front_door|-|0|on|-|-120"_s;
    }

    void cameras()
    {
        QFETCH(QString, config);
        QFETCH(QString, camera);
        const QList<CameraInfo> cameras = decodeConfig(jsonOf(config).toObject(), config.toUtf8()).cameras;
        QCOMPARE(cameras.size(), camera.isEmpty() ? 0 : 1);
        if (!camera.isEmpty())
            QCOMPARE(describe(cameras.first()), camera);
    }

    void groups_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("groups"); // name(order):cameras; ...
        QTest::newRow("sorted by order then name")
            << R"({"camera_groups": {"zeta": {"cameras": ["a"], "order": 1}, "first": {"cameras": [], "order": 0},
                  "outside": {"cameras": ["front_door", "driveway"], "icon": "LuCar", "order": 1}}})"
            << u"first(0):; outside(1):front_door,driveway; zeta(1):a"_s;
        QTest::newRow("non-map entries skipped, order defaults to 0")
            << R"({"camera_groups": {"bad": ["a"], "good": {"cameras": ["a"]}}})" << u"good(0):a"_s;
        QTest::newRow("negative order first")
            << R"({"camera_groups": {"a": {"order": 3}, "b": {"order": -1}}})" << u"b(-1):; a(3):"_s;
        QTest::newRow("mixed camera list is empty")
            << R"({"camera_groups": {"g": {"cameras": ["a", 5]}}})" << u"g(0):"_s;
        QTest::newRow("comma text kept by the server")
            << R"({"camera_groups": {"g": {"cameras": "front_door, driveway,"}}})" << u"g(0):front_door,driveway"_s;
        QTest::newRow("groups not a map") << R"({"camera_groups": []})" << QString();
    }

    void groups()
    {
        QFETCH(QString, config);
        QStringList groups;
        for (const CameraGroup &group : decodeConfig(jsonOf(config).toObject()).groups)
            groups << u"%1(%2):%3"_s.arg(group.name).arg(group.order).arg(group.cameras.join(u','));
        QTEST(groups.join(u"; "_s), "groups");
    }

    void stats016()
    {
        const StatsSnapshot stats = decodeStats(json(Stats016).toObject());
        // ffmpeg's cpu comes from cpu_usages["541"], not from the camera's own pid 512.
        const CameraStats camera{5.1, 0.4, 5.0, 0.1, 3.0, 0.0};
        const StatsSnapshot expected{
            12.7, 41.3, 412880.5, 1877522.3, 1464641.8, 86342.0, "0.16.4-4131252", 12.25, {{u"front_door"_s, camera}}};
        QCOMPARE(stats, expected);
    }

    // Loose statistics as one line: cpu|inference ms|disk used/total|cameras as name:ffmpeg cpu.
    void looseStats_data()
    {
        QTest::addColumn<QString>("stats");
        QTest::addColumn<QString>("expected");
        const auto storage = [](const QString &volumes) { return R"({"service": {"storage": )" + volumes + u"}}"_s; };
        const auto camera = [](const QString &camera) {
            return R"({"cpu_usages": {"541": {"cpu": " 3.0 "}}, "cameras": {"cam": )" + camera + u"}}"_s;
        };
        QTest::newRow("recordings volume wins") << storage(R"({"/big": {"total": 9000, "used": 1},
            "/media/frigate/recordings": {"total": 100, "used": 50}})")
                                                << u"0|0|50/100|"_s;
        QTest::newRow("largest volume without recordings") << storage(R"({"/media/frigate/clips": {"total": "300",
            "used": "30"}, "/tmp/cache": {"total": 1024, "used": 12}, "/dev/shm": {"total": 512, "used": 98}})")
                                                           << u"0|0|12/1024|"_s;
        QTest::newRow("recordings entry not a map")
            << storage(R"({"/media/frigate/recordings": 7, "/a": {"total": 10, "used": 2}})") << u"0|0|2/10|"_s;
        QTest::newRow("empty recordings entry")
            << storage(R"({"/media/frigate/recordings": {}, "/a": {"total": 10, "used": 2}})") << u"0|0|0/0|"_s;
        QTest::newRow("own ffmpeg_cpu wins")
            << camera(R"({"ffmpeg_cpu": "7.5", "ffmpeg_pid": 541})") << u"0|0|0/0|cam:7.5"_s;
        QTest::newRow("pid as text") << camera(R"({"ffmpeg_pid": "541"})") << u"0|0|0/0|cam:3"_s;
        QTest::newRow("pid gone from the process list") << camera(R"({"ffmpeg_pid": 999})") << u"0|0|0/0|cam:0"_s;
        QTest::newRow("pid with fraction") << camera(R"({"ffmpeg_pid": 541.5})") << u"0|0|0/0|cam:0"_s;
        QTest::newRow("cpu text between spaces")
            << R"({"cpu_usages": {"frigate.full_system": {"cpu": " 12.5 "}}})" << u"12.5|0|0/0|"_s;
        QTest::newRow("negative inference speeds")
            << R"({"detectors": {"a": {"inference_speed": -3}, "b": {"inference_speed": -1}}})" << u"0|-1|0/0|"_s;
        QTest::newRow("camera entries that are not maps dropped")
            << R"({"cameras": {"a": {}, "b": 3, "c": null}})" << u"0|0|0/0|a:0"_s;
    }

    void looseStats()
    {
        QFETCH(QString, stats);
        const StatsSnapshot s = decodeStats(jsonOf(stats).toObject());
        QStringList cameras;
        for (auto camera = s.cameras.begin(); camera != s.cameras.end(); ++camera)
            cameras << camera.key() + u':' + QString::number(camera->ffmpegCPU);
        const QString line = u"%1|%2|%3/%4|"_s.arg(s.cpu).arg(s.inferenceMs).arg(s.diskUsedMB).arg(s.diskTotalMB);
        QTEST(line + cameras.join(u','), "expected");
    }

    // The recordings volume's free figure as the snapshot keeps it, "none" when it is absent.
    void diskFree_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number") << R"({"total": 100, "used": 50, "free": 45.5})" << u"45.5"_s;
        QTest::newRow("text") << R"({"total": 100, "used": 50, "free": " 45 "})" << u"45"_s;
        QTest::newRow("zero") << R"({"total": 100, "used": 100, "free": 0})" << u"0"_s;
        QTest::newRow("missing") << R"({"total": 100, "used": 50})" << u"none"_s;
        QTest::newRow("null") << R"({"total": 100, "used": 50, "free": null})" << u"none"_s;
        QTest::newRow("not a number") << R"({"total": 100, "used": 50, "free": "lots"})" << u"none"_s;
    }

    void diskFree()
    {
        QFETCH(QString, volume);
        const QString stats = R"({"service": {"storage": {"/media/frigate/recordings": )" + volume + u"}}}"_s;
        const auto free = decodeStats(jsonOf(stats).toObject()).diskFreeMB;
        QTEST(free ? QString::number(*free) : u"none"_s, "expected");
    }

    void reviewList015()
    {
        const auto decoded = decodeReviewList(Reviews015);
        QVERIFY(decoded.ok());
        ReviewItem item{u"1718096400.512345-k3j9xq"_s, u"front_door"_s, 1718096400.512345, 1718096431.87};
        item.thumb_path = u"/media/frigate/clips/review/thumb-k3j9xq.webp"_s;
        item.data = {{"person"}, {"porch"}, {"speech"}, {"1718096399.98765-a1b2c3"}};
        QCOMPARE(decoded.value(), QList{item});
        const auto again = decodeReviewList(QJsonDocument(QJsonArray{encodeReviewItem(item)}).toJson());
        QVERIFY(again.ok());
        QCOMPARE(again.value(), QList{item});
    }

    // A review list as "severity|reviewed|has end|objects|zones" of its first item, or "! text" for
    // a decoding error whose detail holds text.
    void reviewLists_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const auto item = [](const char *extra) {
            return R"([{"id": "r1", "camera": "cam", "start_time": 1718096400)" + QByteArray(extra) + "}]";
        };
        QTest::newRow("minimal") << item("") << u"alert|0|0||"_s;
        QTest::newRow("0.16 reviewed as 1") << item(R"(, "has_been_reviewed": 1)") << u"alert|1|0||"_s;
        QTest::newRow("reviewed as text") << item(R"(, "has_been_reviewed": "true")") << u"alert|0|0||"_s;
        QTest::newRow("severity mistyped") << item(R"(, "severity": 2)") << u"alert|0|0||"_s;
        QTest::newRow("0.15 seen detection, still open")
            << item(R"(, "has_been_reviewed": true, "severity": "detection", "end_time": null)")
            << u"detection|1|0||"_s;
        QTest::newRow("integer end time") << item(R"(, "end_time": 1718096431)") << u"alert|0|1||"_s;
        QTest::newRow("data null") << item(R"(, "data": null)") << u"alert|0|0||"_s;
        QTest::newRow("one mistyped list")
            << item(R"(, "data": {"objects": ["person", 3], "zones": ["porch"], "audio": null})")
            << u"alert|0|0||porch"_s;
        QTest::newRow("labels kept as sent")
            << item(R"(, "data": {"objects": ["person-verified", "face"], "sub_labels": ["B"]})")
            << u"alert|0|0|person-verified,face|"_s;
        QTest::newRow("id missing") << QByteArray(R"([{"camera": "cam", "start_time": 1}])") << u"! \"id\""_s;
        QTest::newRow("camera a number") << QByteArray(R"([{"id": "r", "camera": 3, "start_time": 1}])")
                                         << u"! \"camera\""_s;
        QTest::newRow("start time as text")
            << QByteArray(R"([{"id": "r", "camera": "c", "start_time": "1"}])") << u"! \"start_time\""_s;
        QTest::newRow("second item broken fails all")
            << QByteArray(R"([{"id": "r", "camera": "c", "start_time": 1}, {"id": "s", "start_time": 2}])")
            << u"! review item 1"_s;
        QTest::newRow("object instead of list") << QByteArray(R"({"id": "r"})") << u"! list"_s;
        QTest::newRow("not JSON") << QByteArray("<html>502 Bad Gateway</html>") << u"! invalid JSON"_s;
    }

    void reviewLists()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        const auto decoded = decodeReviewList(body);
        if (!decoded) {
            const FrigateError &error = decoded.error();
            QCOMPARE(error.kind(), FrigateError::Kind::Decoding);
            QVERIFY2(expected.startsWith(u"! ") && error.detail().contains(expected.mid(2)),
                     qPrintable(error.detail()));
            return;
        }
        const ReviewItem &item = decoded.value().first();
        const QStringList fields{item.severity, QString::number(item.has_been_reviewed),
                                 QString::number(item.end_time.has_value()), item.data.objects.join(u','),
                                 item.data.zones.join(u',')};
        QCOMPARE(fields.join(u'|'), expected);
    }

    void recordingSummary()
    {
        const auto decoded = decodeRecordingSummary(R"([
            {"events": 3, "hours": [{"hour": "14", "events": 2, "motion": 5310, "objects": 212, "duration": 3600},
                                    {"hour": "13", "events": 1, "motion": 880, "objects": 10, "duration": 3598}],
             "day": "2024-06-11"},
            {"events": null, "hours": [{"hour": "23", "events": 0, "motion": 0, "objects": 0.5},
                                                {"hour": "22", "duration": -44}], "day": "2024-06-10"}])");
        QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? QString() : decoded.error().detail()));
        const QList<RecordingDay> expected{
            {u"2024-06-11"_s, 3, {{"14", 2, 5310.0, 212.0, 3600.0}, {"13", 1, 880.0, 10.0, 3598.0}}},
            {u"2024-06-10"_s, std::nullopt, {{"23", 0, 0.0, 0.5, std::nullopt}, {"22", std::nullopt, std::nullopt, std::nullopt, std::nullopt}}}};
        QCOMPARE(decoded.value(), expected);
        // Read by key: a missing or mistyped field fails the whole summary.
        for (const char *broken : {R"([{"day": "2024-06-11", "events": 1}])", R"([{"hours": []}])",
                                   R"([{"day": "d", "events": "3", "hours": []}])",
                                   R"([{"day": "d", "hours": [{"hour": "1", "motion": "5"}]}])"}) {
            const auto failed = decodeRecordingSummary(broken);
            QVERIFY2(!failed && failed.error().kind() == FrigateError::Kind::Decoding, broken);
        }
    }
};

QTEST_GUILESS_MAIN(TestWireDecoding)
#include "tst_wiredecoding.moc"
