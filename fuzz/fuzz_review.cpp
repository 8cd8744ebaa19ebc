// api/review: the list decoded by key, and each item through the cache's encoding and back.
#include "FuzzSupport.h"
#include "client/WireDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto items = decodeReviewList(Fuzz::bytes(data, size));
    if (!items)
        return 0;
    for (const ReviewItem &item : items.value())
        decodeReviewItem(encodeReviewItem(item));
    return 0;
}
