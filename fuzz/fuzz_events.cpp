// api/events/<id> and api/timeline?source_id=<id>: one tracked object and its boxes. The input is
// the event's body, a zero byte, then the timeline's body.
#include "FuzzSupport.h"
#include "client/TrackBuilding.h"

#include <QJsonArray>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = Fuzz::bytes(data, size);
    const qsizetype cut = input.indexOf('\0');
    const auto event = Fuzz::json(cut < 0 ? input : input.first(cut));
    const auto timeline = cut < 0 ? std::nullopt : Fuzz::json(input.sliced(cut + 1));
    if (!event || !event->isObject())
        return 0;
    const QJsonArray rows = timeline && timeline->isArray() ? timeline->toArray() : QJsonArray();
    const double now = 1729990000;
    const QString id = QStringLiteral("1729989000.5-abc123");
    for (const double offsetMs : {0.0, -1500.0, 250.0}) {
        if (const auto track = buildTrackedObject(id, event->toObject(), rows, offsetMs, now)) {
            for (const Sample &sample : track->samples)
                track->boxAt(sample.t + 0.05);
        }
    }
    return 0;
}
