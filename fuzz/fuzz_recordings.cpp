// api/<camera>/recordings/summary and api/<camera>/recordings: days and hours placed in time,
// and the recording files. The input is one body or the other; both decoders see it.
#include "FuzzSupport.h"
#include "client/WireDecoding.h"
#include "screens/HistoryRows.h"

#include <QTimeZone>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = Fuzz::bytes(data, size);
    decodeRecordingSegments(body);
    const auto days = decodeRecordingSummary(body);
    if (!days)
        return 0;
    // A fixed instant keeps runs reproducible; the zone has a clock change in the history.
    static const QTimeZone zone("Europe/Rome");
    static const QDateTime now = QDateTime::fromSecsSinceEpoch(1729990000, Qt::UTC);
    for (const RecordingDay &day : days.value()) {
        const QDate date = QDate::fromString(day.day, Qt::ISODate);
        for (const HourSlot &slot : hourSlots(day, date.isValid() ? date : now.date(), zone, now)) {
            hourThumbnailTime(slot, now);
            hourSummaryText(slot.record);
        }
    }
    return 0;
}
