#pragma once
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <unistd.h>

// Memory and CPU of this process and of the processes it started (QtWebEngine runs its renderer
// and GPU work in child processes), read from /proc.
namespace ProcessStats {

struct Sample
{
    double rssMiB = 0;
    double cpuSeconds = 0; // user + system
};

inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline int parentOf(int pid)
{
    const QByteArray stat = read(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields[1].toInt() : 0;
}

inline Sample of(int pid)
{
    Sample sample;
    for (const QByteArray &line : read(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("VmRSS:"))
            sample.rssMiB = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    const QByteArray stat = read(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12)
        sample.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    return sample;
}

inline QList<int> descendants(int root)
{
    QList<int> found;
    QList<int> frontier{root};
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    while (!frontier.isEmpty()) {
        const int parent = frontier.takeFirst();
        for (const QString &entry : entries) {
            bool number = false;
            const int pid = entry.toInt(&number);
            if (number && parentOf(pid) == parent) {
                found.append(pid);
                frontier.append(pid);
            }
        }
    }
    return found;
}

// This process plus its descendants whose command line holds `childName` (none when empty): the
// fake server is a child too and must not count.
inline Sample current(const QString &childName = {})
{
    Sample total = of(int(getpid()));
    if (childName.isEmpty())
        return total;
    for (int pid : descendants(int(getpid()))) {
        if (!QString::fromUtf8(read(QStringLiteral("/proc/%1/cmdline").arg(pid))).contains(childName))
            continue;
        const Sample child = of(pid);
        total.rssMiB += child.rssMiB;
        total.cpuSeconds += child.cpuSeconds;
    }
    return total;
}

// What a long run watches for creeping growth: resident memory, threads and open descriptors of
// this process alone.
struct Footprint
{
    qint64 rssKb = 0;
    int threads = 0;
    int fds = 0;
};

inline Footprint footprint()
{
    Footprint result;
    for (const QByteArray &line : read(QStringLiteral("/proc/self/status")).split('\n')) {
        if (line.startsWith("VmRSS:"))
            result.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        else if (line.startsWith("Threads:"))
            result.threads = line.mid(8).trimmed().toInt();
    }
    // Less the one the listing itself holds open.
    const QDir::Filters every = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    result.fds = int(QDir(QStringLiteral("/proc/self/fd")).entryList(every).size()) - 1;
    return result;
}

} // namespace ProcessStats
