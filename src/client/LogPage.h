#pragma once
#include "client/FrigateError.h"
#include "client/WireRecords.h"

#include <QByteArray>
#include <QList>
#include <optional>

// One slice of a server log as "api/logs/<service>?start=&end=" answers it. The server slices
// its processed line list as Python does (negative bounds count from the end, bounds past the
// end are clamped), so the absolute number of the first line follows from the bounds asked for
// and totalLines. Line numbers stay valid while the log only grows; a rotated log (or a
// restarted server) starts again with fewer lines.
struct LogPage
{
    qint64 totalLines = 0;
    qint64 first = 0;       // absolute number of lines[0]
    qint64 received = 0;    // entries in the answer, blank ones included
    QList<LogLine> lines;   // oldest first; line.id is its absolute number
    qint64 rawBytes = 0;    // UTF-8 size of the entries as received

    qint64 end() const { return first + received; }
};

// Where Python's lines[start:] begins in a list of `total` lines.
qint64 pythonSliceStart(qint64 start, qint64 total);

Result<LogPage> decodeLogPage(const QByteArray &body, qint64 start, const QString &service);
