#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

class QNetworkReply;

// Aborts a reply that brings fewer than MinimumBytes within a window of `ms`. The platform's
// transfer time-out measures silence only, so a server sending a byte now and then would hold a
// request forever; this one counts a trickle as silence too (1 KiB a minute is no answer).
class ProgressWatchdog : public QObject
{
public:
    static constexpr qint64 MinimumBytes = 1024;

    // The watchdog belongs to the reply. onExpiry runs just before the reply is aborted.
    static void watch(QNetworkReply *reply, int ms, std::function<void()> onExpiry = {});

private:
    ProgressWatchdog(QNetworkReply *reply, int ms, std::function<void()> onExpiry);
    void onDownloadProgress(qint64 received);

    QNetworkReply *m_reply;
    QTimer m_timer;
    qint64 m_mark = 0;
    std::function<void()> m_onExpiry;
};
