#pragma once
#include <QProcess>

// Ends a helper process the tests started: politely first, then for good.
inline void endChildProcess(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(3000);
}
