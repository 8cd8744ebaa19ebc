#include "client/FilePublishing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <unistd.h>

QString numberedName(const QString &name, int number)
{
    if (number == 1)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    if (info.completeBaseName().isEmpty() || suffix.isEmpty())
        return QStringLiteral("%1 (%2)").arg(name).arg(number);
    return QStringLiteral("%1 (%2).%3").arg(info.completeBaseName()).arg(number).arg(suffix);
}

Result<QString> publishWithoutReplacing(QTemporaryFile &file, const QString &folder, const QString &name)
{
    const QDir target(folder);
    // A temporary file is private to its owner; a saved clip or picture reads like any other file.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    constexpr int MaxNumber = 999;
    for (int number = 1; number <= MaxNumber; ++number) {
        const QString candidate = target.filePath(numberedName(name, number));
        // Qt renames without replacing: an existing file makes this fail and the next number is tried.
        if (QFile::rename(file.fileName(), candidate))
            return candidate;
        if (!QFileInfo::exists(candidate))
            break;
    }
    return FrigateError::localFile(QCoreApplication::translate("FrigateClient", "no free name for %1 in %2")
                                       .arg(name, QDir::toNativeSeparators(folder)));
}

Result<QString> writeDurably(const QString &folder, const QString &name, const std::function<bool(QIODevice &)> &write)
{
    // Hidden and in the target folder, so the final rename stays on one file system.
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".%1.XXXXXX.part").arg(name)));
    if (!file.open() || !write(file) || !file.flush() || ::fdatasync(file.handle()) != 0)
        return FrigateError::localFile(QDir::toNativeSeparators(folder));
    file.close();
    return publishWithoutReplacing(file, folder, name);
}

bool looksLikeMp4(const QByteArray &head)
{
    return head.size() >= 8 && head.mid(4, 4) == "ftyp";
}
