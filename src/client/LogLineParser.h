#pragma once
#include "client/WireRecords.h"

#include <QString>

// One raw line of a server log (as "api/logs/<service>" returns it) as a LogLine. Passwords in
// URLs are replaced by bullets before anything is read from the line. Never fails.
LogLine parseLogLine(const QString &text, qint64 id, const QString &service);
