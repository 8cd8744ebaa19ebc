#include "client/TrackBuilding.h"

#include <QJsonDocument>
#include "TestJson.h"
#include <QTest>
#include <cmath>

using OptionalRect = std::optional<QRectF>;
Q_DECLARE_METATYPE(OptionalRect)
Q_DECLARE_METATYPE(TrackedObject)
using namespace Qt::StringLiterals;

namespace {

QJsonValue value(const QString &text)
{
    return json(text.toUtf8().constData());
}

// A small box whose left edge tells it apart.
QRectF at(double x)
{
    return QRectF(x, 0, 0.1, 0.1);
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QString describe(const OptionalRect &box)
{
    if (!box)
        return u"none"_s;
    return u"%1,%2 %3x%4"_s.arg(number(box->x()), number(box->y()), number(box->width()), number(box->height()));
}

// Samples as "t@x,y wxh" with times counted from origin, to six digits.
QString describe(const QList<Sample> &samples, double origin = 0)
{
    QStringList texts;
    for (const Sample &sample : samples)
        texts << number(sample.t - origin) + u'@' + describe(sample.box);
    return texts.join(u"; "_s);
}

const QRectF BoxA(0.1, 0.2, 0.2, 0.4);
const QRectF BoxB(0.3, 0.4, 0.4, 0.2);

TrackedObject track(double start, double end, const QList<Sample> &samples)
{
    return {u"e1"_s, u"person"_s, start, end, samples};
}

// The 0.16 answers of "api/events/<id>" and "api/timeline?source_id=<id>", trimmed.
const char *Event016 = R"({"id": "1718096399.98765-a1b2c3", "label": "person", "sub_label": null,
 "start_time": 1718096399.98765, "end_time": 1718096428.4, "false_positive": null, "zones": ["porch"],
 "data": {"box": [0.42109375, 0.3111111, 0.090625, 0.4527778], "score": 0.8125, "type": "object",
          "path_data": [[[0.4665, 0.7638], 1718096400.12], [[0.5012, 0.7721], 1718096403.53]]}})";

const char *Timeline016 = R"([
 {"timestamp": 1718096399.98765, "class_type": "visible", "data": {"box": [0.41, 0.30, 0.09, 0.45], "label": "person",
  "sub_label": null, "region": [0.33, 0.21, 0.32, 0.57], "attribute": ""}},
 {"timestamp": 1718096403.2, "class_type": "entered_zone", "data": {"box": [0.45, 0.33, 0.1, 0.5], "label": "person",
  "sub_label": ["Bob", 0.87], "region": [0.33, 0.21, 0.32, 0.57], "attribute": "", "zones": ["porch"]}},
 {"timestamp": 1718096428.4, "class_type": "gone", "data": {"label": "person"}}])";

} // namespace

class TestTracks : public QObject
{
    Q_OBJECT
private slots:
    void boxAt_data()
    {
        QTest::addColumn<TrackedObject>("object");
        QTest::addColumn<double>("t");
        QTest::addColumn<OptionalRect>("box");

        const TrackedObject twoSamples = track(100, 102, {{100, BoxA}, {102, BoxB}});
        QTest::newRow("halfway") << twoSamples << 101.0 << OptionalRect(QRectF(0.2, 0.3, 0.3, 0.3));
        QTest::newRow("at first sample") << twoSamples << 100.0 << OptionalRect(BoxA);
        QTest::newRow("0.2 s before start") << twoSamples << 99.8 << OptionalRect(BoxA);
        QTest::newRow("0.2 s after end") << twoSamples << 102.2 << OptionalRect(BoxB);
        QTest::newRow("0.4 s after end") << twoSamples << 102.4 << OptionalRect();
        QTest::newRow("not a number") << twoSamples << std::nan("") << OptionalRect();
        QTest::newRow("no samples") << track(100, 102, {}) << 101.0 << OptionalRect();

        const TrackedObject longLife = track(90, 110, {{100, BoxA}, {102, BoxB}});
        QTest::newRow("before first sample, after start") << longLife << 90.0 << OptionalRect(BoxA);
        QTest::newRow("beyond an earlier start") << longLife << 89.6 << OptionalRect();
        QTest::newRow("beyond a later end") << longLife << 110.4 << OptionalRect();

        const TrackedObject lateStart = track(101, 101, {{100, BoxA}, {102, BoxB}});
        QTest::newRow("samples outside the recorded life") << lateStart << 99.8 << OptionalRect(BoxA);

        const TrackedObject five = track(0, 4, {{0, at(0)}, {1, at(0.1)}, {2, at(0.2)}, {3, at(0.3)}, {4, at(0.4)}});
        QTest::newRow("between third and fourth") << five << 2.5 << OptionalRect(at(0.25));

        const TrackedObject jump = track(0, 2, {{0, at(0)}, {1, at(0.2)}, {1, at(0.6)}, {2, at(0.8)}});
        QTest::newRow("exactly at a jump: the later box") << jump << 1.0 << OptionalRect(at(0.6));
        QTest::newRow("after a jump: the later box leads") << jump << 1.5 << OptionalRect(at(0.7));

        const TrackedObject tinyGap = track(1, 1.0005, {{1, at(0)}, {1.0005, at(1)}});
        QTest::newRow("gap below a millisecond") << tinyGap << 1.0002 << OptionalRect(at(0.2));
    }

    void boxAt()
    {
        QFETCH(TrackedObject, object);
        QFETCH(double, t);
        QFETCH(OptionalRect, box);
        QCOMPARE(describe(object.boxAt(t)), describe(box));
    }

    // The annotation offset shifts every time of the object: start, end and samples.
    void build016_data()
    {
        QTest::addColumn<double>("offsetMs");
        QTest::addColumn<double>("shift");
        QTest::newRow("half a second earlier") << -500.0 << -0.5;
        QTest::newRow("not a number is no shift") << std::nan("") << 0.0;
    }

    void build016()
    {
        QFETCH(double, offsetMs);
        QFETCH(double, shift);
        const auto object = buildTrackedObject(u"1718096399.98765-a1b2c3"_s, json(Event016).toObject(),
                                               json(Timeline016).toArray(), offsetMs, 2e9);
        QVERIFY(object);
        QCOMPARE(object->id, u"1718096399.98765-a1b2c3"_s);
        QCOMPARE(object->label, u"person"_s);
        QCOMPARE(number(object->start - shift - 1718096399), u"0.98765"_s);
        QCOMPARE(number(object->end - shift - 1718096399), u"29.4"_s);
        // Two timeline boxes (the "gone" entry has none) and two path points, in time order. The
        // path points are bottom centres: the first takes the size in force at its time (the first
        // timeline box), the second the size of the box sampled at 403.2.
        QCOMPARE(describe(object->samples, 1718096399 + shift),
                 u"0.98765@0.41,0.3 0.09x0.45; 1.12@0.4215,0.3138 0.09x0.45; 4.2@0.45,0.33 0.1x0.5; "
                 "4.53@0.4512,0.2721 0.1x0.5"_s);
    }

    // What an event and its timeline build: "none", or "end: samples" with samples "t@x,y wxh" in
    // time order. Now is 99.
    void build_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("timeline");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no boxes at all") << R"({"label": "person", "start_time": 5, "data": {"box": null}})"
                                         << R"([{"timestamp": 5, "data": {"label": "person"}}])" << u"none"_s;
        QTest::newRow("path points alone add nothing")
            << R"({"start_time": 5, "data": {"path_data": [[[0.5, 0.5], 6]]}})" << u"[]"_s << u"none"_s;
        QTest::newRow("audio event") << R"({"label": "speech", "start_time": 5, "data": {"type": "audio"}})" << u"[]"_s
                                     << u"none"_s;

        // Without timeline boxes the event's own box stands at its start (0.14 also sends empty
        // top-level box and area columns); the end of an object still tracked is now.
        const auto ending = [](const char *end) {
            return QString(R"({"area": null, "box": null, %1 "start_time": 10, "data": {"box": [0, 0, 0.5, 0.5]}})")
                .arg(QLatin1String(end));
        };
        QTest::newRow("end null") << ending(R"("end_time": null,)") << u"[]"_s << u"99: 10@0,0 0.5x0.5"_s;
        QTest::newRow("end missing") << ending("") << u"[]"_s << u"99: 10@0,0 0.5x0.5"_s;
        QTest::newRow("end zero") << ending(R"("end_time": 0,)") << u"[]"_s << u"99: 10@0,0 0.5x0.5"_s;
        QTest::newRow("ended") << ending(R"("end_time": 42.5,)") << u"[]"_s << u"42.5: 10@0,0 0.5x0.5"_s;

        // Timeline boxes replace the event's own (0.5, 0.5).
        const QString event = R"({"start_time": 1, "data": {"box": [0.5, 0.5, 0.2, 0.2]}})";
        // Forty entries alternating between two times: sorted by time, each time's boxes in their order.
        QStringList interleaved;
        QStringList early;
        QStringList late;
        for (int i = 0; i < 40; ++i) {
            const double x = (40 - i) / 64.0; // exact in binary, so it survives the trip through text
            const int t = i % 2 ? 1 : 2;
            interleaved
                << QString(R"({"timestamp": %1, "data": {"box": [%2, 0, 0.1, 0.1]}})").arg(t).arg(x, 0, 'g', 17);
            (t == 1 ? early : late) << u"%1@%2,0 0.1x0.1"_s.arg(t).arg(x);
        }
        QTest::newRow("many equal times keep their order")
            << event << u'[' + interleaved.join(u',') + u']' << u"99: "_s + (early + late).join(u"; "_s);
        QTest::newRow("unreadable time reads 0")
            << event << R"([{"timestamp": "soon", "data": {"box": [0.1, 0, 0.1, 0.1]}}])" << u"99: 0@0.1,0 0.1x0.1"_s;
        QTest::newRow("time spelled nan dropped")
            << event << R"([{"timestamp": "nan", "data": {"box": [0.1, 0, 0.1, 0.1]}},
                   {"timestamp": 4, "data": {"box": [0.4, 0, 0.1, 0.1]}}])"
            << u"99: 4@0.4,0 0.1x0.1"_s;
        QTest::newRow("entries without a valid box skipped")
            << event
            << R"([5, {"timestamp": 1}, {"timestamp": 2, "data": []}, {"timestamp": 3, "data": {"box": [0.1, 0, 1.2, 0.1]}},
                   {"timestamp": 4, "data": {"box": ["0.4", "0", "0.1", "0.1"]}}])"
            << u"99: 4@0.4,0 0.1x0.1"_s;

        // Path points are bottom centres sized like the box in force at their time (else the first).
        const auto path = [](const char *points) {
            return QString(R"({"start_time": 10, "end_time": 20, "data": {"path_data": %1}})")
                .arg(QLatin1String(points));
        };
        const QString boxes = R"([{"timestamp": 20, "data": {"box": [0.5, 0.5, 0.4, 0.2]}},
                                   {"timestamp": 10, "data": {"box": [0.1, 0.1, 0.2, 0.4]}}])";
        const QString first = u"20: 10@0.1,0.1 0.2x0.4"_s;
        const QString second = u"20@0.5,0.5 0.4x0.2"_s;
        QTest::newRow("point before the first sample takes its size")
            << path("[[[0.5, 0.9], 5]]") << boxes << u"20: 5@0.4,0.5 0.2x0.4; 10@0.1,0.1 0.2x0.4; "_s + second;
        QTest::newRow("point between takes the earlier size")
            << path("[[[0.5, 0.9], 15]]") << boxes << first + u"; 15@0.4,0.5 0.2x0.4; "_s + second;
        QTest::newRow("point on a sample takes that size")
            << path("[[[0.5, 0.9], 20]]") << boxes << first + u"; "_s + second + u"; 20@0.3,0.7 0.4x0.2"_s;
        QTest::newRow("other shapes skipped")
            << path(R"([[[0.5, 0.9]], [0.5, 15], [[0.5], 15], 15, null, {"x": 1}, [[0.5, 0.9, 7], 15, "extra"]])")
            << boxes << first + u"; 15@0.4,0.5 0.2x0.4; "_s + second;
        QTest::newRow("non-finite position skipped")
            << path(R"([[["nan", 0.9], 15]])") << boxes << first + u"; "_s + second;
        QTest::newRow("path not a list") << path(R"({"a": 1})") << boxes << first + u"; "_s + second;
    }

    void build()
    {
        QFETCH(QString, event);
        QFETCH(QString, timeline);
        const auto object = buildTrackedObject(u"x"_s, value(event).toObject(), value(timeline).toArray(), 0, 99);
        QTEST(object ? number(object->end) + u": "_s + describe(object->samples) : u"none"_s, "expected");
    }
};

QTEST_GUILESS_MAIN(TestTracks)
#include "tst_tracks.moc"
