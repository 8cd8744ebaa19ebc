#include "client/FrigateApi.h"
#include "client/WireDecoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include "TestJson.h"
#include <QTest>
#include <cmath>

using OptionalRect = std::optional<QRectF>;
Q_DECLARE_METATYPE(OptionalRect)

namespace {

QJsonObject object(const char *text)
{
    return json(text).toObject();
}

bool sameNumber(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

// A trimmed 0.16 stats answer, as the server sends it (all cpu_usages values are texts).
const char *Stats016 = R"({"cameras": {"front_door": {"camera_fps": 5.1, "process_fps": 5.0, "skipped_fps": 0.1,
    "detection_fps": 0.4, "pid": 512, "capture_pid": 530, "ffmpeg_pid": 541, "audio_rms": 0.0}},
  "detectors": {"coral": {"inference_speed": 8.91, "pid": 480}, "cpu1": {"inference_speed": "12.25"}, "broken": 7},
  "cpu_usages": {"frigate.full_system": {"cpu": "12.7", "mem": "41.3"},
    "541": {"cpu": "3.0", "cpu_average": "2", "mem": "0.6", "cmdline": "ffmpeg -hide_banner"},
    "512": {"cpu": "5.9", "cpu_average": "4", "mem": "1.9", "cmdline": "frigate.process:front_door"}},
  "service": {"uptime": 86342, "version": "0.16.4-4131252", "latest_version": "0.16.4", "storage": {
      "/media/frigate/recordings": {"total": 1877522.3, "used": 412880.5, "free": 1464641.8, "mount_type": "ext4"},
      "/tmp/cache": {"total": 1024.0, "used": 12.3, "free": 1011.7, "mount_type": "tmpfs"}}}})";

const char *Reviews015 = R"([
  {"id": "1718096400.512345-k3j9xq", "camera": "front_door",
   "start_time": 1718096400.512345, "end_time": 1718096431.87,
   "has_been_reviewed": false, "severity": "alert",
   "thumb_path": "/media/frigate/clips/review/thumb-front_door-1718096400.512345-k3j9xq.webp",
   "data": {"detections": ["1718096399.98765-a1b2c3"], "objects": ["person"],
            "sub_labels": [], "zones": ["porch"], "audio": []}},
  {"id": "1718095000.1-p0o9i8", "camera": "driveway", "start_time": 1718095000.1,
   "end_time": null, "has_been_reviewed": true, "severity": "detection",
   "thumb_path": "/media/frigate/clips/review/thumb-driveway-1718095000.1-p0o9i8.webp",
   "data": {"detections": ["1718095000.05-zz11yy"], "objects": ["car"],
            "sub_labels": [], "zones": [], "audio": []}}
])";

// A camera as one line: friendly name|main|sub (- none)|order|enabled|recording|offset.
QString describe(const CameraInfo &c)
{
    return QStringList{c.friendlyName,
                       c.mainStream,
                       c.subStream.value_or(QStringLiteral("-")),
                       QString::number(c.uiOrder),
                       c.enabled ? "on" : "off",
                       c.recordEnabled ? "rec" : "-",
                       QString::number(c.annotationOffset)}
        .join(u'|');
}

// Key order behind escaped keys and text that looks like structure.
const char *EscapedStreams = R"({"x": "}{cameras]", "cameras": {"front_door": {"zones": {"a": [1, {"live": "]"}]},
    "live": {"quality": 8, "streams": {"Z\u00e9": "front_door_clear", "A\/b": "front_door_b"}}}}})";

} // namespace

class TestWireDecoding : public QObject
{
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void boxes_data();
    void boxes();
    void cameras_data();
    void cameras();
    void groups_data();
    void groups();
    void stats016();
    void disk_data();
    void disk();
    void cameraCpu_data();
    void cameraCpu();
    void looseStats_data();
    void looseStats();
    void reviewList015();
    void reviewLeniency_data();
    void reviewLeniency();
    void reviewListFailures_data();
    void reviewListFailures();
    void singleReview016WithoutFlag();
    void recordingSummary();
    void recordingSummaryIsStrict_data();
    void recordingSummaryIsStrict();
    void unseenCountOfBrokenNumbers_data();
    void unseenCountOfBrokenNumbers();
};

void TestWireDecoding::numbers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<double>("number"); // numberValue
    QTest::addColumn<double>("trimmed"); // trimmedNumberValue

    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    QTest::newRow("JSON number") << "12.5" << 12.5 << 12.5;
    QTest::newRow("leading line break") << R"("\n5")" << 0.0 << 5.0;
    QTest::newRow("trailing garbage") << R"("12.5abc")" << 0.0 << 0.0;
    QTest::newRow("empty text") << R"("")" << 0.0 << 0.0;
    QTest::newRow("hexadecimal") << R"("0x10")" << 16.0 << 16.0;
    QTest::newRow("overflow") << R"("1e999")" << 0.0 << 0.0;
    QTest::newRow("infinity spelled") << R"("inf")" << inf << inf;
    QTest::newRow("not a number spelled") << R"("nan")" << nan << nan;
    QTest::newRow("null") << "null" << 0.0 << 0.0;
}

void TestWireDecoding::numbers()
{
    QFETCH(QString, value);
    QFETCH(double, number);
    QFETCH(double, trimmed);
    const QJsonValue v = json(value.toUtf8().constData());
    QVERIFY2(sameNumber(numberValue(v), number), qPrintable(QString::number(numberValue(v))));
    QVERIFY2(sameNumber(trimmedNumberValue(v), trimmed), qPrintable(QString::number(trimmedNumberValue(v))));
}

void TestWireDecoding::boxes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<OptionalRect>("box");

    QTest::newRow("event box") << "[0.42109375, 0.3111111, 0.090625, 0.4527778]"
                               << OptionalRect(QRectF(0.42109375, 0.3111111, 0.090625, 0.4527778));
    QTest::newRow("texts with white space")
        << R"(["0.1", " 0.2 ", "0.3", "0.4\n"])" << OptionalRect(QRectF(0.1, 0.2, 0.3, 0.4));
    QTest::newRow("full frame with slack") << "[0, 0, 1.01, 1.01]" << OptionalRect(QRectF(0, 0, 1.01, 1.01));
    QTest::newRow("unreadable x reads 0") << R"(["left", 0.2, 0.3, 0.4])" << OptionalRect(QRectF(0, 0.2, 0.3, 0.4));
    QTest::newRow("too wide") << "[0.1, 0.2, 1.5, 0.3]" << OptionalRect();
    QTest::newRow("zero width") << "[0.1, 0.2, 0, 0.3]" << OptionalRect();
    QTest::newRow("width spelled nan") << R"([0.1, 0.2, "nan", 0.3])" << OptionalRect();
    QTest::newRow("null") << "null" << OptionalRect();
}

void TestWireDecoding::boxes()
{
    QFETCH(QString, value);
    QFETCH(OptionalRect, box);
    QCOMPARE(boxValue(json(value.toUtf8().constData())), box);
}

void TestWireDecoding::cameras_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("camera"); // empty: not listed
    // Every row describes one camera named front_door.
    QTest::newRow("0.16 camera") << R"({"go2rtc": {"streams": {"front_door": [], "front_door_sub": []}},
        "cameras": {"front_door": {"name": "front_door", "enabled": true, "enabled_in_config": true,
          "detect": {"enabled": true, "annotation_offset": 0}, "record": {"enabled": true, "retain": {"days": 3}},
          "live": {"streams": {"Main": "front_door", "Sub": "front_door_sub"}, "height": 720},
          "ui": {"order": 1, "dashboard": true}}}})"
                                 << "Front Door|front_door|front_door_sub|1|on|rec|0";
    QTest::newRow("cameras not a map") << R"({"cameras": ["front_door"]})"
                                       << "";
    QTest::newRow("hidden from dashboard") << R"({"cameras": {"front_door": {"ui": {"dashboard": false}}}})"
                                           << "";
    QTest::newRow("bare camera") << R"({"cameras": {"front_door": {}}})"
                                 << "Front Door|front_door|-|0|on|-|0";
    QTest::newRow("friendly name") << R"({"cameras": {"front_door": {"friendly_name": "Porta di casa"}}})"
                                   << "Porta di casa|front_door|-|0|on|-|0";
    QTest::newRow("disabled, order fraction dropped")
        << R"({"cameras": {"front_door": {"enabled": false, "ui": {"order": 2.9}}}})"
        << "Front Door|front_door|-|2|off|-|0";
    QTest::newRow("mistyped flags and order")
        << R"({"cameras": {"front_door": {"enabled": "no", "record": {"enabled": "true"}, "ui": {"order": "3"}}}})"
        << "Front Door|front_door|-|0|on|-|0";
    QTest::newRow("order beyond int") << R"({"cameras": {"front_door": {"ui": {"order": 1e12}}}})"
                                      << "Front Door|front_door|-|0|on|-|0";
    QTest::newRow("streams named otherwise")
        << R"({"cameras": {"front_door": {"live": {"streams": {"a": "zeta", "b": "alpha"}}}}})"
        << "Front Door|zeta|alpha|0|on|-|0";
    QTest::newRow("sub stream by name wins over order")
        << R"({"cameras": {"front_door": {"live": {"streams": {"a": "aaa", "b": "front_door", "c": "front_door_sub"}}}}})"
        << "Front Door|aaa|front_door_sub|0|on|-|0";
    QTest::newRow("first stream as written is the main one")
        << R"({"cameras": {"front_door": {"live": {"streams": {"Clear": "front_door_clear",
              "Balanced": "front_door_balanced", "Fluent": "front_door_sub"}}}}})"
        << "Front Door|front_door_clear|front_door_sub|0|on|-|0";
    QTest::newRow("written order behind escapes and look-alike text")
        << EscapedStreams
        << "Front Door|front_door_clear|front_door_b|0|on|-|0";
    QTest::newRow("streams with a non-text value")
        << R"({"cameras": {"front_door": {"live": {"streams": {"a": "zeta", "b": 5}}}}})"
        << "Front Door|front_door|-|0|on|-|0";
    QTest::newRow("0.15 stream name with relay sub stream")
        << R"({"go2rtc": {"streams": {"porch_hd": ["rtsp://x"], "porch_hd_sub": ["rtsp://y"]}},
              "cameras": {"front_door": {"live": {"stream_name": "porch_hd"}}}})"
        << "Front Door|porch_hd|porch_hd_sub|0|on|-|0";
    QTest::newRow("streams map wins over stream name and relay")
        << R"({"go2rtc": {"streams": {"front_door_sub": [], "porch_sub": []}},
              "cameras": {"front_door": {"live": {"streams": {"Main": "front_door"}, "stream_name": "porch"}}}})"
        << "Front Door|front_door|-|0|on|-|0";
    QTest::newRow("annotation offset as text")
        << R"({"cameras": {"front_door": {"detect": {"annotation_offset": " -120 "}}}})"
        << "Front Door|front_door|-|0|on|-|-120";
}

void TestWireDecoding::cameras()
{
    QFETCH(QString, config);
    QFETCH(QString, camera);
    const QList<CameraInfo> cameras = decodeConfig(object(config.toUtf8().constData()), config.toUtf8()).cameras;
    QCOMPARE(cameras.size(), camera.isEmpty() ? 0 : 1);
    if (!camera.isEmpty())
        QCOMPARE(describe(cameras.first()), camera);
}

void TestWireDecoding::groups_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("groups"); // name(order):cameras; ...
    QTest::newRow("sorted by order then name")
        << R"({"camera_groups": {"zeta": {"cameras": ["a"], "order": 1}, "first": {"cameras": [], "order": 0},
              "outside": {"cameras": ["front_door", "driveway"], "icon": "LuCar", "order": 1}}})"
        << "first(0):; outside(1):front_door,driveway; zeta(1):a";
    QTest::newRow("non-map entries skipped, order defaults to 0")
        << R"({"camera_groups": {"bad": ["a"], "good": {"cameras": ["a"]}}})"
        << "good(0):a";
    QTest::newRow("negative order first") << R"({"camera_groups": {"a": {"order": 3}, "b": {"order": -1}}})"
                                          << "b(-1):; a(3):";
    QTest::newRow("mixed camera list is empty") << R"({"camera_groups": {"g": {"cameras": ["a", 5]}}})"
                                                << "g(0):";
    QTest::newRow("comma text kept by the server")
        << R"({"camera_groups": {"g": {"cameras": "front_door, driveway,"}}})"
        << "g(0):front_door,driveway";
    QTest::newRow("groups not a map") << R"({"camera_groups": []})"
                                      << "";
}

void TestWireDecoding::groups()
{
    QFETCH(QString, config);
    QStringList groups;
    for (const CameraGroup &group : decodeConfig(object(config.toUtf8().constData())).groups)
        groups << QStringLiteral("%1(%2):%3").arg(group.name).arg(group.order).arg(group.cameras.join(u','));
    QTEST(groups.join(QStringLiteral("; ")), "groups");
}

void TestWireDecoding::stats016()
{
    const StatsSnapshot stats = decodeStats(object(Stats016));
    // ffmpeg's cpu comes from cpu_usages["541"], not from the camera's own pid 512.
    const CameraStats camera{5.1, 0.4, 5.0, 0.1, 3.0, 0.0};
    const StatsSnapshot expected{12.7, 41.3, 412880.5, 1877522.3, 86342.0, "0.16.4-4131252", 12.25,
                                 {{QStringLiteral("front_door"), camera}}};
    QCOMPARE(stats, expected);
}

void TestWireDecoding::disk_data()
{
    QTest::addColumn<QString>("storage");
    QTest::addColumn<double>("used");
    QTest::addColumn<double>("total");
    QTest::newRow("recordings volume wins")
        << R"({"/big": {"total": 9000, "used": 1}, "/media/frigate/recordings": {"total": 100, "used": 50}})"
        << 50.0 << 100.0;
    QTest::newRow("largest volume without recordings")
        << R"({"/media/frigate/clips": {"total": "300", "used": "30"}, "/tmp/cache": {"total": 1024, "used": 12}, "/dev/shm": {"total": 512, "used": 98}})"
        << 12.0 << 1024.0;
    QTest::newRow("recordings entry not a map")
        << R"({"/media/frigate/recordings": 7, "/a": {"total": 10, "used": 2}})" << 2.0 << 10.0;
    QTest::newRow("empty recordings entry")
        << R"({"/media/frigate/recordings": {}, "/a": {"total": 10, "used": 2}})" << 0.0 << 0.0;
    QTest::newRow("no map values") << R"({"/a": 1, "/b": "x"})" << 0.0 << 0.0;
}

void TestWireDecoding::disk()
{
    QFETCH(QString, storage);
    QJsonObject service{{QStringLiteral("storage"), json(storage.toUtf8().constData())}};
    const StatsSnapshot stats = decodeStats(QJsonObject{{QStringLiteral("service"), service}});
    QTEST(stats.diskUsedMB, "used");
    QTEST(stats.diskTotalMB, "total");
}

void TestWireDecoding::cameraCpu_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<double>("ffmpegCPU");
    QTest::newRow("own ffmpeg_cpu wins") << R"({"ffmpeg_cpu": "7.5", "ffmpeg_pid": 541})" << 7.5;
    QTest::newRow("pid as text") << R"({"ffmpeg_pid": "541"})" << 3.0;
    QTest::newRow("pid gone from the process list") << R"({"ffmpeg_pid": 999})" << 0.0;
    QTest::newRow("pid with fraction") << R"({"ffmpeg_pid": 541.5})" << 0.0;
}

void TestWireDecoding::cameraCpu()
{
    QFETCH(QString, camera);
    const QJsonObject stats{
        {QStringLiteral("cameras"), QJsonObject{{QStringLiteral("cam"), json(camera.toUtf8().constData())}}},
        {QStringLiteral("cpu_usages"), object(R"({"541": {"cpu": " 3.0 ", "mem": "0.6"}})")}};
    QTEST(decodeStats(stats).cameras.value(QStringLiteral("cam")).ffmpegCPU, "ffmpegCPU");
}

void TestWireDecoding::looseStats_data()
{
    QTest::addColumn<QString>("stats");
    QTest::addColumn<double>("cpu");
    QTest::addColumn<double>("inferenceMs");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("cameraCount");
    QTest::newRow("empty") << "{}" << 0.0 << 0.0 << "" << 0;
    QTest::newRow("cpu text between spaces")
        << R"({"cpu_usages": {"frigate.full_system": {"cpu": " 12.5 "}}})" << 12.5 << 0.0 << "" << 0;
    QTest::newRow("negative inference speeds")
        << R"({"detectors": {"a": {"inference_speed": -3}, "b": {"inference_speed": -1}}})" << 0.0 << -1.0 << ""
        << 0;
    QTest::newRow("camera entries that are not maps dropped")
        << R"({"cameras": {"a": {}, "b": 3, "c": null}})" << 0.0 << 0.0 << "" << 1;
}

void TestWireDecoding::looseStats()
{
    QFETCH(QString, stats);
    const StatsSnapshot snapshot = decodeStats(object(stats.toUtf8().constData()));
    QTEST(snapshot.cpu, "cpu");
    QTEST(snapshot.inferenceMs, "inferenceMs");
    QTEST(snapshot.version, "version");
    QTEST(int(snapshot.cameras.size()), "cameraCount");
}

void TestWireDecoding::reviewList015()
{
    const auto decoded = decodeReviewList(Reviews015);
    QVERIFY(decoded.ok());
    const QList<ReviewItem> &items = decoded.value();
    QCOMPARE(items.size(), 2);
    ReviewItem first;
    first.id = QStringLiteral("1718096400.512345-k3j9xq");
    first.camera = QStringLiteral("front_door");
    first.start_time = 1718096400.512345;
    first.end_time = 1718096431.87;
    first.severity = QStringLiteral("alert");
    first.thumb_path = QStringLiteral("/media/frigate/clips/review/thumb-front_door-1718096400.512345-k3j9xq.webp");
    first.has_been_reviewed = false;
    first.data = ReviewData{{"person"}, {"porch"}, {}, {"1718096399.98765-a1b2c3"}};
    QCOMPARE(items.at(0), first);
    QCOMPARE(items.at(1).end_time, std::optional<double>());
    QCOMPARE(items.at(1).severity, QStringLiteral("detection"));
    QVERIFY(items.at(1).has_been_reviewed);
    QVERIFY(decodeReviewList("[]").ok());
    QJsonArray encoded;
    for (const ReviewItem &item : items)
        encoded.append(encodeReviewItem(item));
    const auto again = decodeReviewList(QJsonDocument(encoded).toJson());
    QVERIFY(again.ok());
    QCOMPARE(again.value(), items);
}

void TestWireDecoding::reviewLeniency_data()
{
    QTest::addColumn<QString>("extra"); // keys added to a minimal valid item
    QTest::addColumn<QString>("item"); // severity|reviewed|has end|objects|zones
    QTest::newRow("minimal") << ""
                             << "alert|0|0||";
    QTest::newRow("0.16 reviewed as 1") << R"(, "has_been_reviewed": 1)"
                                        << "alert|1|0||";
    QTest::newRow("reviewed as text") << R"(, "has_been_reviewed": "true")"
                                      << "alert|0|0||";
    QTest::newRow("severity mistyped") << R"(, "severity": 2)"
                                       << "alert|0|0||";
    QTest::newRow("integer end time") << R"(, "end_time": 1718096431)"
                                      << "alert|0|1||";
    QTest::newRow("data null") << R"(, "data": null)"
                               << "alert|0|0||";
    QTest::newRow("one mistyped list")
        << R"(, "data": {"objects": ["person", 3], "zones": ["porch"], "audio": null})"
        << "alert|0|0||porch";
    QTest::newRow("labels kept as sent")
        << R"(, "data": {"objects": ["person-verified", "face"], "sub_labels": ["B"]})"
        << "alert|0|0|person-verified,face|";
}

void TestWireDecoding::reviewLeniency()
{
    QFETCH(QString, extra);
    const QByteArray body = R"([{"id": "r1", "camera": "cam", "start_time": 1718096400)" + extra.toUtf8() + "}]";
    const auto decoded = decodeReviewList(body);
    QVERIFY(decoded.ok());
    const ReviewItem item = decoded.value().first();
    const QStringList fields{item.severity, QString::number(item.has_been_reviewed),
                             QString::number(item.end_time.has_value()), item.data.objects.join(u','),
                             item.data.zones.join(u',')};
    QTEST(fields.join(u'|'), "item");
}

void TestWireDecoding::reviewListFailures_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("id missing") << QByteArray(R"([{"camera": "cam", "start_time": 1}])") << "\"id\"";
    QTest::newRow("camera a number") << QByteArray(R"([{"id": "r", "camera": 3, "start_time": 1}])")
                                     << "\"camera\"";
    QTest::newRow("start time as text")
        << QByteArray(R"([{"id": "r", "camera": "c", "start_time": "1"}])") << "\"start_time\"";
    QTest::newRow("second item broken fails all")
        << QByteArray(R"([{"id": "r", "camera": "c", "start_time": 1}, {"id": "s", "start_time": 2}])")
        << "review item 1";
    QTest::newRow("object instead of list") << QByteArray(R"({"id": "r"})") << "list";
    QTest::newRow("not JSON") << QByteArray("<html>502 Bad Gateway</html>") << "invalid JSON";
}

void TestWireDecoding::reviewListFailures()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, mentions);
    const auto decoded = decodeReviewList(body);
    QVERIFY(!decoded.ok());
    QCOMPARE(decoded.error().kind(), FrigateError::Kind::Decoding);
    QVERIFY2(decoded.error().detail().contains(mentions), qPrintable(decoded.error().detail()));
}

void TestWireDecoding::singleReview016WithoutFlag()
{
    const auto decoded = decodeReviewItem(json(R"({"id": "r", "camera": "c", "start_time": 5.5, "end_time": null})"));
    QVERIFY(decoded.ok() && !decoded.value().has_been_reviewed);
    QVERIFY(!decodeReviewItem(json(R"({"id": "r", "camera": "c"})")).ok());
}

void TestWireDecoding::recordingSummary()
{
    const auto decoded = decodeRecordingSummary(R"([
        {"events": 3, "hours": [
            {"hour": "14", "events": 2, "motion": 5310, "objects": 212, "duration": 3600},
            {"hour": "13", "events": 1, "motion": 880, "objects": 10, "duration": 3598}],
         "day": "2024-06-11"},
        {"events": null, "hours": [{"hour": "23", "events": 0, "motion": 0, "objects": 0.5}],
         "day": "2024-06-10"}])");
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? QString() : decoded.error().detail()));
    const QList<RecordingDay> &days = decoded.value();
    QCOMPARE(days.size(), 2);
    QCOMPARE(days.at(0).day, QStringLiteral("2024-06-11"));
    QCOMPARE(days.at(0).events, std::optional<int>(3));
    QCOMPARE(days.at(0).hours.size(), 2);
    QCOMPARE(days.at(0).hours.at(0), (RecordingHour{"14", 2, 5310.0, 212.0, 3600.0}));
    QCOMPARE(days.at(1).events, std::optional<int>());
    QCOMPARE(days.at(1).hours.at(0), (RecordingHour{"23", 0, 0.0, 0.5, std::nullopt}));
}

void TestWireDecoding::recordingSummaryIsStrict_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("hours missing") << QByteArray(R"([{"day": "2024-06-11", "events": 1}])");
    QTest::newRow("day missing") << QByteArray(R"([{"hours": []}])");
    QTest::newRow("events as text") << QByteArray(R"([{"day": "d", "events": "3", "hours": []}])");
    QTest::newRow("motion as text") << QByteArray(R"([{"day": "d", "hours": [{"hour": "1", "motion": "5"}]}])");
    QTest::newRow("not a list") << QByteArray(R"({"2024-06-11": true})");
}

void TestWireDecoding::recordingSummaryIsStrict()
{
    QFETCH(QByteArray, body);
    const auto decoded = decodeRecordingSummary(body);
    QVERIFY(!decoded.ok());
    QCOMPARE(decoded.error().kind(), FrigateError::Kind::Decoding);
}

// Counts that do not fit an integer never reach a conversion to one.
void TestWireDecoding::unseenCountOfBrokenNumbers_data()
{
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("count");
    const int most = std::numeric_limits<int>::max();
    QTest::newRow("infinite beside a good day") << R"({"a": {"total_alert": "inf"}, "b": {"total_alert": 2}})" << 2;
    QTest::newRow("not a number seen") << R"({"a": {"total_alert": 3, "reviewed_alert": "nan"}})" << 3;
    QTest::newRow("beyond 64 bits") << R"({"a": {"total_alert": 1e300}})" << most;
}

void TestWireDecoding::unseenCountOfBrokenNumbers()
{
    QFETCH(QString, summary);
    QTEST(FrigateApi::unseenCount(object(summary.toUtf8().constData()), false), "count");
}

QTEST_GUILESS_MAIN(TestWireDecoding)
#include "tst_wiredecoding.moc"
