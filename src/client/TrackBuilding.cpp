#include "client/TrackBuilding.h"
#include "client/JsonLookup.h"
#include "client/WireDecoding.h"

#include <algorithm>
#include <cmath>

using namespace JsonLookup;

namespace {

// Times and offsets may arrive as texts such as "nan"; they would poison every comparison.
double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0;
}

void sortByTime(QList<Sample> &samples)
{
    std::stable_sort(samples.begin(), samples.end(), [](const Sample &a, const Sample &b) { return a.t < b.t; });
}

void appendTimed(QList<Sample> &samples, double t, const QRectF &box)
{
    if (std::isfinite(t))
        samples.append({t, box});
}

QList<Sample> timelineSamples(const QJsonArray &timeline)
{
    QList<Sample> samples;
    for (const QJsonValue &entry : timeline) {
        const QJsonObject object = entry.toObject();
        if (const auto box = boxValue(objectAt(object, u"data").value(u"box")))
            appendTimed(samples, trimmedNumberValue(object.value(u"timestamp")), *box);
    }
    return samples;
}

// The box size in force at time t: that of the last sample not after t, else of the first.
QSizeF sizeAt(const QList<Sample> &sorted, double t)
{
    QSizeF size = sorted.first().box.size();
    for (const Sample &sample : sorted) {
        if (sample.t > t)
            break;
        size = sample.box.size();
    }
    return size;
}

// Path points are the bottom centre of the object's box, without a size of their own.
QList<Sample> pathSamples(const QJsonArray &path, const QList<Sample> &sorted)
{
    QList<Sample> samples;
    for (const QJsonValue &entry : path) {
        const QJsonArray point = entry.toArray();
        const QJsonArray position = point.size() >= 2 ? point.at(0).toArray() : QJsonArray();
        if (position.size() < 2)
            continue;
        const double px = trimmedNumberValue(position.at(0));
        const double py = trimmedNumberValue(position.at(1));
        const double pt = trimmedNumberValue(point.at(1));
        if (!std::isfinite(px) || !std::isfinite(py))
            continue;
        const QSizeF size = sizeAt(sorted, pt);
        appendTimed(samples, pt, QRectF(QPointF(px - size.width() / 2, py - size.height()), size));
    }
    return samples;
}

} // namespace

std::optional<TrackedObject> buildTrackedObject(const QString &id, const QJsonObject &event,
                                                const QJsonArray &timeline, double annotationOffsetMs,
                                                double nowSeconds)
{
    TrackedObject track;
    track.id = id;
    track.label = event.value(u"label").toString();
    track.start = finiteOrZero(trimmedNumberValue(event.value(u"start_time")));
    const double end = trimmedNumberValue(event.value(u"end_time"));
    track.end = end > 0 && std::isfinite(end) ? end : nowSeconds;

    const QJsonObject data = objectAt(event, u"data");
    track.samples = timelineSamples(timeline);
    if (track.samples.isEmpty()) {
        if (const auto box = boxValue(data.value(u"box")))
            appendTimed(track.samples, track.start, *box);
    }
    if (track.samples.isEmpty())
        return std::nullopt;
    sortByTime(track.samples);
    track.samples += pathSamples(arrayAt(data, u"path_data"), track.samples);
    sortByTime(track.samples);

    const double shift = finiteOrZero(annotationOffsetMs) / 1000;
    for (Sample &sample : track.samples)
        sample.t += shift;
    track.start += shift;
    track.end += shift;
    return track;
}
