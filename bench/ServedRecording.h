#pragma once
#include "LocalHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>

// The files of an HLS VOD recording served over loopback HTTP from a thread of its own, so that a
// reader blocking the GUI thread (libavformat) still gets its answers.
class ServedRecording
{
public:
    ServedRecording() { m_context.moveToThread(&m_thread); }
    ServedRecording(const ServedRecording &) = delete;
    ServedRecording &operator=(const ServedRecording &) = delete;
    ~ServedRecording() { stop(); }

    // Serves every file of `folder` under `/`; false when the folder is empty or unreadable.
    bool start(const QString &folder)
    {
        QHash<QString, QByteArray> files;
        for (const QString &name : QDir(folder).entryList(QDir::Files)) {
            QFile file(QDir(folder).filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                return false;
            files.insert(QLatin1Char('/') + name, file.readAll());
        }
        if (files.isEmpty())
            return false;
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [&] {
                m_server = new LocalHttpServer;
                for (auto it = files.cbegin(); it != files.cend(); ++it)
                    m_server->answer(it.key(), {200, it.value(), {}, 0});
                m_base = m_server->url(QString());
            },
            Qt::BlockingQueuedConnection);
        return true;
    }

    QUrl url(const QString &name) const { return m_base.resolved(QUrl(QLatin1Char('/') + name)); }

private:
    void stop()
    {
        if (!m_thread.isRunning())
            return;
        QThread *home = QCoreApplication::instance()->thread();
        QMetaObject::invokeMethod(
            &m_context,
            [this, home] {
                delete m_server;
                m_context.moveToThread(home);
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QThread m_thread;
    QObject m_context; // lives in m_thread while serving
    LocalHttpServer *m_server = nullptr;
    QUrl m_base;
};
