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
        QTest::newRow("no offset") << 0.0 << 0.0;
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

    void noUsableBoxGivesNothing_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("timeline");
        QTest::newRow("no boxes at all") << R"({"label": "person", "start_time": 5, "data": {"box": null}})"
                                         << R"([{"timestamp": 5, "data": {"label": "person"}}])";
        QTest::newRow("path points alone add nothing")
            << R"({"start_time": 5, "data": {"path_data": [[[0.5, 0.5], 6]]}})" << u"[]"_s;
        QTest::newRow("audio event") << R"({"label": "speech", "start_time": 5, "data": {"type": "audio"}})" << u"[]"_s;
    }

    void noUsableBoxGivesNothing()
    {
        QFETCH(QString, event);
        QFETCH(QString, timeline);
        QVERIFY(!buildTrackedObject(u"x"_s, value(event).toObject(), value(timeline).toArray(), 0, 100));
    }

    // Without timeline boxes the event's own box stands at its start (0.14 also sends empty
    // top-level box and area columns); the end of an object still tracked is now.
    void eventBoxAlone_data()
    {
        QTest::addColumn<QString>("endTime");
        QTest::addColumn<double>("end");
        QTest::newRow("null") << u"null"_s << 500.0;
        QTest::newRow("missing") << QString() << 500.0;
        QTest::newRow("zero") << u"0"_s << 500.0;
        QTest::newRow("ended") << u"42.5"_s << 42.5;
    }

    void eventBoxAlone()
    {
        QFETCH(QString, endTime);
        const QString end = endTime.isNull() ? QString() : R"("end_time": )" + endTime + u", "_s;
        const QString event = R"({"area": null, "box": null, "label": "car", )" + end
                              + R"("start_time": 10, "data": {"box": [0, 0, 0.5, 0.5]}})";
        const auto object = buildTrackedObject(u"x"_s, value(event).toObject(), QJsonArray(), 0, 500);
        QVERIFY(object);
        QTEST(object->end, "end");
        QCOMPARE(object->samples, (QList<Sample>{{10, QRectF(0, 0, 0.5, 0.5)}}));
    }

    // Timeline boxes and path points as samples "t@x,y wxh", in time order. The event's own box
    // (0.5, 0.5) only counts when no timeline entry has one.
    void samples_data()
    {
        QTest::addColumn<QString>("timeline");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("samples");
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
            << u'[' + interleaved.join(u',') + u']' << u"[]"_s << (early + late).join(u"; "_s);
        QTest::newRow("unreadable time reads 0")
            << R"([{"timestamp": "soon", "data": {"box": [0.1, 0, 0.1, 0.1]}}])" << u"[]"_s << u"0@0.1,0 0.1x0.1"_s;
        QTest::newRow("time spelled nan dropped") << R"([{"timestamp": "nan", "data": {"box": [0.1, 0, 0.1, 0.1]}},
                   {"timestamp": 4, "data": {"box": [0.4, 0, 0.1, 0.1]}}])"
                                                  << u"[]"_s << u"4@0.4,0 0.1x0.1"_s;
        QTest::newRow("entries without a valid box skipped")
            << R"([5, {"timestamp": 1}, {"timestamp": 2, "data": []}, {"timestamp": 3, "data": {"box": [0.1, 0, 1.2, 0.1]}},
                   {"timestamp": 4, "data": {"box": ["0.4", "0", "0.1", "0.1"]}}])"
            << u"[]"_s << u"4@0.4,0 0.1x0.1"_s;

        // Path points are bottom centres sized like the box in force at their time (else the first).
        const QString boxes = R"([{"timestamp": 20, "data": {"box": [0.5, 0.5, 0.4, 0.2]}},
                                   {"timestamp": 10, "data": {"box": [0.1, 0.1, 0.2, 0.4]}}])";
        const QString first = u"10@0.1,0.1 0.2x0.4"_s;
        const QString second = u"20@0.5,0.5 0.4x0.2"_s;
        QTest::newRow("point before the first sample takes its size")
            << boxes << u"[[[0.5, 0.9], 5]]"_s << u"5@0.4,0.5 0.2x0.4; "_s + first + u"; "_s + second;
        QTest::newRow("point between takes the earlier size")
            << boxes << u"[[[0.5, 0.9], 15]]"_s << first + u"; 15@0.4,0.5 0.2x0.4; "_s + second;
        QTest::newRow("point on a sample takes that size")
            << boxes << u"[[[0.5, 0.9], 20]]"_s << first + u"; "_s + second + u"; 20@0.3,0.7 0.4x0.2"_s;
        QTest::newRow("other shapes skipped")
            << boxes << R"([[[0.5, 0.9]], [0.5, 15], [[0.5], 15], 15, null, {"x": 1}, [[0.5, 0.9, 7], 15, "extra"]])"
            << first + u"; 15@0.4,0.5 0.2x0.4; "_s + second;
        QTest::newRow("non-finite position skipped") << boxes << R"([[["nan", 0.9], 15]])" << first + u"; "_s + second;
        QTest::newRow("path not a list") << boxes << R"({"a": 1})" << first + u"; "_s + second;
    }

    void samples()
    {
        QFETCH(QString, timeline);
        QFETCH(QString, path);
        const QString event =
            R"({"label": "cat", "start_time": 1, "data": {"box": [0.5, 0.5, 0.2, 0.2], "path_data": )" + path + u"}}"_s;
        const auto object = buildTrackedObject(u"x"_s, value(event).toObject(), value(timeline).toArray(), 0, 99);
        QVERIFY(object);
        QTEST(describe(object->samples), "samples");
    }
};

QTEST_GUILESS_MAIN(TestTracks)
#include "tst_tracks.moc"
