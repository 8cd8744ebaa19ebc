// api/review/summary: the days the calendar marks, with and without detections.
#include "FuzzSupport.h"
#include "screens/HistoryRows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto json = Fuzz::json(Fuzz::bytes(data, size));
    if (!json || !json->isObject())
        return 0;
    markedAlertDays(json->toObject(), true);
    markedAlertDays(json->toObject(), false);
    return 0;
}
