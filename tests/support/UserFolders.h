#pragma once
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Points the user's Pictures and Downloads folders into `home` for this process, so saved
// snapshots and clips land where a test can look and nowhere else. False when it cannot.
inline bool useFoldersIn(const QTemporaryDir &home)
{
    if (!home.isValid() || !QDir(home.path()).mkpath(QStringLiteral("config")))
        return false;
    QFile dirs(home.filePath(QStringLiteral("config/user-dirs.dirs")));
    if (!dirs.open(QIODevice::WriteOnly))
        return false;
    dirs.write(QStringLiteral("XDG_PICTURES_DIR=\"%1/Pictures\"\nXDG_DOWNLOAD_DIR=\"%1/Downloads\"\n")
                   .arg(home.path())
                   .toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    return true;
}
