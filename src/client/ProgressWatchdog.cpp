#include "client/ProgressWatchdog.h"

#include <QNetworkReply>

void ProgressWatchdog::watch(QNetworkReply *reply, int ms, std::function<void()> onExpiry)
{
    new ProgressWatchdog(reply, ms, std::move(onExpiry));
}

ProgressWatchdog::ProgressWatchdog(QNetworkReply *reply, int ms, std::function<void()> onExpiry)
    : QObject(reply)
    , m_reply(reply)
    , m_onExpiry(std::move(onExpiry))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(ms);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_onExpiry)
            m_onExpiry();
        m_reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, &ProgressWatchdog::onDownloadProgress);
    // What we send is ours: its progress counts in full.
    connect(reply, &QNetworkReply::uploadProgress, &m_timer, qOverload<>(&QTimer::start));
    connect(reply, &QNetworkReply::finished, &m_timer, &QTimer::stop);
    m_timer.start();
}

void ProgressWatchdog::onDownloadProgress(qint64 received)
{
    if (received - m_mark < MinimumBytes)
        return;
    m_mark = received;
    m_timer.start();
}
