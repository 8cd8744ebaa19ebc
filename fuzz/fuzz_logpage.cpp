// api/logs/<service>?start=: a page of lines. The first byte picks the start asked for.
#include "FuzzSupport.h"
#include "client/LogPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const qint64 starts[] = {0, -1, -500, 200, std::numeric_limits<qint64>::min(),
                                    std::numeric_limits<qint64>::max()};
    const qint64 start = starts[data[0] % std::size(starts)];
    const QString service = data[0] & 0x80 ? QStringLiteral("nginx") : QStringLiteral("frigate");
    const auto page = decodeLogPage(Fuzz::bytes(data + 1, size - 1), start, service);
    if (page)
        page.value().end();
    return 0;
}
