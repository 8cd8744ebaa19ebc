#pragma once
#include <QFile>
#include <QString>
#include <csignal>
#include <sys/resource.h>

// While it lives, files grow past `bytes` only with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN); // or the first write past the limit ends the process
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
};

// QSettings answers from a per-process cache of each file it has seen; a copy under a new name
// can only be answered from what actually reached the disk. A file that is not there copies as
// none, which reads as an empty store.
inline QString copyOnDisk(const QString &path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".copy%1.ini").arg(++copies);
    QFile::remove(copy);
    QFile::copy(path, copy);
    return copy;
}
