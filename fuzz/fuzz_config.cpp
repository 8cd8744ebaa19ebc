// api/config: the loose decoding of cameras and groups, and the stream order read from the text.
#include "FuzzSupport.h"
#include "client/JsonKeyOrder.h"
#include "client/WireDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = Fuzz::bytes(data, size);
    liveStreamKeyOrder(body);
    const auto json = Fuzz::json(body);
    if (!json || !json->isObject())
        return 0;
    decodeConfig(json->toObject(), body);
    decodeConfig(json->toObject());
    return 0;
}
