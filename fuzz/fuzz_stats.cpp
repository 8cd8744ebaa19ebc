// api/stats, read loosely into a snapshot.
#include "FuzzSupport.h"
#include "client/WireDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto json = Fuzz::json(Fuzz::bytes(data, size));
    if (json && json->isObject())
        decodeStats(json->toObject());
    return 0;
}
