#include "screens/DesktopFiles.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");

QString existingFolder(const QString &path)
{
    QDir().mkpath(path);
    return path;
}

} // namespace

void DesktopFiles::showInFolder(const QString &path)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(FileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                       FileManagerService, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // Asynchronous: a slow or missing file manager must not hold the window.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, folder] {
        if (watcher->isError())
            QDesktopServices::openUrl(folder);
        watcher->deleteLater();
    });
}

void DesktopFiles::copyPath(const QString &path)
{
    QGuiApplication::clipboard()->setText(QDir::toNativeSeparators(path));
}

QString DesktopFiles::displayPath(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home || path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

QString DesktopFiles::snapshotFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return existingFolder(QDir(pictures).filePath(QStringLiteral("Kestrova")));
}

QString DesktopFiles::downloadFolder()
{
    return existingFolder(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
}
