#include "client/TrackBuilding.h"

#include <QJsonDocument>
#include "TestJson.h"
#include <QTest>
#include <cmath>

using OptionalRect = std::optional<QRectF>;
Q_DECLARE_METATYPE(OptionalRect)
Q_DECLARE_METATYPE(TrackedObject)

namespace {

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

bool near(const QRectF &a, const QRectF &b)
{
    return near(a.x(), b.x()) && near(a.y(), b.y()) && near(a.width(), b.width()) && near(a.height(), b.height());
}

QString describe(const OptionalRect &box)
{
    if (!box)
        return QStringLiteral("none");
    return QStringLiteral("(%1, %2, %3, %4)").arg(box->x()).arg(box->y()).arg(box->width()).arg(box->height());
}

const QRectF BoxA(0.1, 0.2, 0.2, 0.4);
const QRectF BoxB(0.3, 0.4, 0.4, 0.2);

TrackedObject track(double start, double end, const QList<Sample> &samples)
{
    TrackedObject object;
    object.id = QStringLiteral("e1");
    object.label = QStringLiteral("person");
    object.start = start;
    object.end = end;
    object.samples = samples;
    return object;
}

// The 0.16 answers of "api/events/<id>" and "api/timeline?source_id=<id>".
const char *Event016 =
    R"({"id": "1718096399.98765-a1b2c3", "label": "person", "sub_label": null, "camera": "front_door",
 "start_time": 1718096399.98765, "end_time": 1718096428.4, "false_positive": null, "zones": ["porch"],
 "data": {"box": [0.42109375, 0.3111111, 0.090625, 0.4527778], "region": [0.3359375, 0.2138889, 0.3203125, 0.5694444],
          "score": 0.8125, "top_score": 0.8359375, "attributes": [], "type": "object", "max_severity": "alert",
          "path_data": [[[0.4665, 0.7638], 1718096400.12], [[0.5012, 0.7721], 1718096403.53]]}})";

const char *Timeline016 = R"([
 {"timestamp": 1718096399.98765, "camera": "front_door", "source": "tracked_object",
  "source_id": "1718096399.98765-a1b2c3", "class_type": "visible",
  "data": {"box": [0.41, 0.30, 0.09, 0.45], "label": "person", "sub_label": null,
           "region": [0.33, 0.21, 0.32, 0.57], "attribute": ""}},
 {"timestamp": 1718096403.2, "camera": "front_door", "source": "tracked_object",
  "source_id": "1718096399.98765-a1b2c3", "class_type": "entered_zone",
  "data": {"box": [0.45, 0.33, 0.1, 0.5], "label": "person", "sub_label": ["Bob", 0.87],
           "region": [0.33, 0.21, 0.32, 0.57], "attribute": "", "zones": ["porch"]}},
 {"timestamp": 1718096428.4, "camera": "front_door", "source": "tracked_object",
  "source_id": "1718096399.98765-a1b2c3", "class_type": "gone", "data": {"label": "person"}}
])";

// 0.14 answers every column, keys sorted, without path data.
const char *Event014 = R"({"area": null, "box": null, "camera": "front_door", "data": {"attributes": [],
 "box": [0.42109375, 0.3111111, 0.090625, 0.4527778], "region": [0.3, 0.2, 0.3, 0.5], "score": 0.81,
 "top_score": 0.83, "type": "object"}, "end_time": null, "id": "1718096399.98765-a1b2c3", "label": "car",
 "start_time": 1718096399.5})";

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

        QList<Sample> five;
        for (int i = 0; i < 5; ++i)
            five.append({double(i), QRectF(0.1 * i, 0, 0.1, 0.1)});
        const TrackedObject many = track(0, 4, five);
        QTest::newRow("between third and fourth") << many << 2.5 << OptionalRect(QRectF(0.25, 0, 0.1, 0.1));

        const TrackedObject sameTime =
            track(1, 2, {{1, QRectF(0.1, 0, 0.1, 0.1)}, {1, QRectF(0.3, 0, 0.1, 0.1)}, {2, QRectF(0.5, 0, 0.1, 0.1)}});
        QTest::newRow("two samples at one time: the later one leads")
            << sameTime << 1.5 << OptionalRect(QRectF(0.4, 0, 0.1, 0.1));

        const TrackedObject jump = track(0, 2,
                                         {{0, QRectF(0, 0, 0.1, 0.1)},
                                          {1, QRectF(0.2, 0, 0.1, 0.1)},
                                          {1, QRectF(0.6, 0, 0.1, 0.1)},
                                          {2, QRectF(0.8, 0, 0.1, 0.1)}});
        QTest::newRow("exactly at a jump: the later box") << jump << 1.0 << OptionalRect(QRectF(0.6, 0, 0.1, 0.1));

        const TrackedObject tinyGap = track(1, 1.0005, {{1, QRectF(0, 0, 0.1, 0.1)}, {1.0005, QRectF(1, 0, 0.1, 0.1)}});
        QTest::newRow("gap below a millisecond") << tinyGap << 1.0002 << OptionalRect(QRectF(0.2, 0, 0.1, 0.1));
    }

    void boxAt()
    {
        QFETCH(TrackedObject, object);
        QFETCH(double, t);
        QFETCH(OptionalRect, box);
        const OptionalRect got = object.boxAt(t);
        QVERIFY2(got.has_value() == box.has_value() && (!got || near(*got, *box)),
                 qPrintable(describe(got) + " != " + describe(box)));
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
        const auto object = buildTrackedObject(QStringLiteral("1718096399.98765-a1b2c3"), json(Event016).toObject(),
                                               json(Timeline016).toArray(), offsetMs, 2e9);
        QVERIFY(object);
        QCOMPARE(object->id, QStringLiteral("1718096399.98765-a1b2c3"));
        QCOMPARE(object->label, QStringLiteral("person"));
        QVERIFY(near(object->start, 1718096399.98765 + shift));
        QVERIFY(near(object->end, 1718096428.4 + shift));
        // Two timeline boxes (the "gone" entry has none) and two path points, in time order. The
        // path points are bottom centres: the first takes the size in force at its time (the first
        // timeline box), the second the size of the box sampled at 403.2.
        const QList<Sample> expected{
            {1718096399.98765, QRectF(0.41, 0.30, 0.09, 0.45)},
            {1718096400.12, QRectF(0.4665 - 0.045, 0.7638 - 0.45, 0.09, 0.45)},
            {1718096403.2, QRectF(0.45, 0.33, 0.1, 0.5)},
            {1718096403.53, QRectF(0.5012 - 0.05, 0.7721 - 0.5, 0.1, 0.5)},
        };
        QCOMPARE(object->samples.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY(near(object->samples.at(i).t, expected.at(i).t + shift));
            QVERIFY2(near(object->samples.at(i).box, expected.at(i).box), qPrintable(describe(object->samples.at(i).box)));
        }
    }

    void build014FromEventBox()
    {
        const auto object =
            buildTrackedObject(QStringLiteral("x"), json(Event014).toObject(), QJsonArray(), 0, 1718096500);
        QVERIFY(object);
        QCOMPARE(object->label, QStringLiteral("car"));
        QCOMPARE(object->end, 1718096500.0);
        QCOMPARE(object->samples, (QList<Sample>{{1718096399.5, QRectF(0.42109375, 0.3111111, 0.090625, 0.4527778)}}));
    }

    void noUsableBoxGivesNothing_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("timeline");
        QTest::newRow("no boxes at all") << R"({"label": "person", "start_time": 5, "data": {"box": null}})"
                                         << R"([{"timestamp": 5, "data": {"label": "person"}}])";
        QTest::newRow("path points alone add nothing")
            << R"({"start_time": 5, "data": {"path_data": [[[0.5, 0.5], 6]]}})"
            << "[]";
        QTest::newRow("audio event")
            << R"({"label": "speech", "start_time": 5, "data": {"type": "audio", "score": 0.9}})"
            << "[]";
    }

    void noUsableBoxGivesNothing()
    {
        QFETCH(QString, event);
        QFETCH(QString, timeline);
        QVERIFY(!buildTrackedObject(QStringLiteral("x"), json(event.toUtf8().constData()).toObject(),
                                    json(timeline.toUtf8().constData()).toArray(), 0, 100));
    }

    void endOfOngoingObject_data()
    {
        QTest::addColumn<QString>("endTime");
        QTest::addColumn<double>("end");
        QTest::newRow("null") << R"("end_time": null,)" << 500.0;
        QTest::newRow("missing") << "" << 500.0;
        QTest::newRow("zero") << R"("end_time": 0,)" << 500.0;
        QTest::newRow("ended") << R"("end_time": 42.5,)" << 42.5;
    }

    void endOfOngoingObject()
    {
        QFETCH(QString, endTime);
        const QByteArray event =
            R"({"label": "dog", )" + endTime.toUtf8() + R"( "start_time": 10, "data": {"box": [0, 0, 0.5, 0.5]}})";
        const auto object =
            buildTrackedObject(QStringLiteral("x"), json(event.constData()).toObject(), QJsonArray(), 0, 500);
        QVERIFY(object);
        QTEST(object->end, "end");
    }

    void timelineSamples_data()
    {
        QTest::addColumn<QString>("timeline");
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<QList<double>>("xs");
        QTest::newRow("sorted by time")
            << R"([{"timestamp": 3, "data": {"box": [0.3, 0, 0.1, 0.1]}}, {"timestamp": 1, "data": {"box": [0.1, 0, 0.1, 0.1]}}])"
            << QList<double>{1, 3} << QList<double>{0.1, 0.3};
        QTest::newRow("equal times keep their order")
            << R"([{"timestamp": 2, "data": {"box": [0.7, 0, 0.1, 0.1]}}, {"timestamp": 2, "data": {"box": [0.2, 0, 0.1, 0.1]}}])"
            << QList<double>{2, 2} << QList<double>{0.7, 0.2};
        // Forty entries alternating between two times: each time's boxes must keep their order.
        QStringList interleaved;
        QList<double> earlyXs;
        QList<double> lateXs;
        for (int i = 0; i < 40; ++i) {
            const double x = (40 - i) / 64.0; // exact in binary, so it survives the trip through text
            const int t = i % 2 ? 1 : 2;
            interleaved
                << QStringLiteral(R"({"timestamp": %1, "data": {"box": [%2, 0, 0.1, 0.1]}})").arg(t).arg(x, 0, 'g', 17);
            (t == 1 ? earlyXs : lateXs) << x;
        }
        QTest::newRow("many equal times keep their order")
            << u'[' + interleaved.join(u',') + u']' << QList<double>(20, 1) + QList<double>(20, 2) << earlyXs + lateXs;
        QTest::newRow("unreadable time reads 0") << R"([{"timestamp": "soon", "data": {"box": [0.1, 0, 0.1, 0.1]}}])"
                                                 << QList<double>{0} << QList<double>{0.1};
        QTest::newRow("time spelled nan dropped")
            << R"([{"timestamp": "nan", "data": {"box": [0.1, 0, 0.1, 0.1]}}, {"timestamp": 4, "data": {"box": [0.4, 0, 0.1, 0.1]}}])"
            << QList<double>{4} << QList<double>{0.4};
        QTest::newRow("entries without a valid box skipped")
            << R"([5, {"timestamp": 1}, {"timestamp": 2, "data": []}, {"timestamp": 3, "data": {"box": [0.1, 0, 1.2, 0.1]}}, {"timestamp": 4, "data": {"box": ["0.4", "0", "0.1", "0.1"]}}])"
            << QList<double>{4} << QList<double>{0.4};
        QTest::newRow("event box ignored when the timeline has one")
            << R"([{"timestamp": 9, "data": {"box": [0.9, 0, 0.1, 0.1]}}])" << QList<double>{9} << QList<double>{0.9};
    }

    void timelineSamples()
    {
        QFETCH(QString, timeline);
        const QJsonObject event =
            json(R"({"label": "cat", "start_time": 1, "data": {"box": [0.5, 0.5, 0.2, 0.2]}})").toObject();
        const auto object =
            buildTrackedObject(QStringLiteral("x"), event, json(timeline.toUtf8().constData()).toArray(), 0, 10);
        QVERIFY(object);
        QList<double> times;
        QList<double> xs;
        for (const Sample &sample : object->samples) {
            times << sample.t;
            xs << sample.box.x();
        }
        QTEST(times, "times");
        QTEST(xs, "xs");
    }

    void pathPoints_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<double>>("times"); // of all samples, after sorting
        QTest::addColumn<QList<QRectF>>("boxes");

        // Base samples: t 10 with size 0.2 × 0.4, t 20 with size 0.4 × 0.2.
        const QRectF first(0.1, 0.1, 0.2, 0.4);
        const QRectF second(0.5, 0.5, 0.4, 0.2);
        QTest::newRow("point before the first sample takes its size")
            << "[[[0.5, 0.9], 5]]" << QList<double>{5, 10, 20}
            << QList<QRectF>{QRectF(0.4, 0.5, 0.2, 0.4), first, second};
        QTest::newRow("point between takes the earlier size")
            << "[[[0.5, 0.9], 15]]" << QList<double>{10, 15, 20}
            << QList<QRectF>{first, QRectF(0.4, 0.5, 0.2, 0.4), second};
        QTest::newRow("point on a sample takes that size") << "[[[0.5, 0.9], 20]]" << QList<double>{10, 20, 20}
                                                           << QList<QRectF>{first, second, QRectF(0.3, 0.7, 0.4, 0.2)};
        QTest::newRow("other shapes skipped")
            << R"([[[0.5, 0.9]], [0.5, 15], [[0.5], 15], 15, null, {"x": 1}, [[0.5, 0.9, 7], 15, "extra"]])"
            << QList<double>{10, 15, 20} << QList<QRectF>{first, QRectF(0.4, 0.5, 0.2, 0.4), second};
        QTest::newRow("non-finite position skipped")
            << R"([[["nan", 0.9], 15]])" << QList<double>{10, 20} << QList<QRectF>{first, second};
        QTest::newRow("path not a list") << R"({"a": 1})" << QList<double>{10, 20} << QList<QRectF>{first, second};
    }

    void pathPoints()
    {
        QFETCH(QString, path);
        QFETCH(QList<double>, times);
        QFETCH(QList<QRectF>, boxes);
        const QByteArray eventText =
            R"({"label": "person", "start_time": 10, "end_time": 20, "data": {"path_data": )" + path.toUtf8() + "}}";
        const QJsonArray timeline = json(R"([{"timestamp": 20, "data": {"box": [0.5, 0.5, 0.4, 0.2]}},
                                             {"timestamp": 10, "data": {"box": [0.1, 0.1, 0.2, 0.4]}}])")
                                        .toArray();
        const auto object =
            buildTrackedObject(QStringLiteral("x"), json(eventText.constData()).toObject(), timeline, 0, 99);
        QVERIFY(object);
        QCOMPARE(object->samples.size(), times.size());
        for (qsizetype i = 0; i < times.size(); ++i) {
            QCOMPARE(object->samples.at(i).t, times.at(i));
            QVERIFY2(near(object->samples.at(i).box, boxes.at(i)),
                     qPrintable(QString::number(i) + ": " + describe(object->samples.at(i).box)));
        }
    }
};

QTEST_GUILESS_MAIN(TestTracks)
#include "tst_tracks.moc"
