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
        if (getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
            return;
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_applied = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_applied)
            setrlimit(RLIMIT_FSIZE, &m_saved);
    }
    bool applied() const { return m_applied; }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    bool m_applied = false;
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
