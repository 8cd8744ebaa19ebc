// One raw log line of any of the three services (the first byte picks the service).
#include "FuzzSupport.h"
#include "client/LogLineParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QString services[] = {QStringLiteral("frigate"), QStringLiteral("go2rtc"), QStringLiteral("nginx")};
    const QString text = QString::fromUtf8(Fuzz::bytes(data + 1, size - 1));
    parseLogLine(text, 7, services[data[0] % 3]);
    return 0;
}
