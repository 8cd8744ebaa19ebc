#include "screens/ImageDownload.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "client/ProgressWatchdog.h"

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {
// As long as the client waits for any other answer.
constexpr double DefaultTimeout = 60.0;
} // namespace

ImageDownload::ImageDownload(FrigateClient *client, const std::optional<QUrl> &url,
                             std::optional<double> timeoutSeconds, QObject *parent)
    : QObject(parent), m_client(client)
{
    if (!client || !url) {
        // Answer on the next turn of the event loop, as a network failure would.
        QTimer::singleShot(0, this, [this] { complete(QImage()); });
        return;
    }
    start(*url, timeoutSeconds);
}

void ImageDownload::start(const QUrl &url, std::optional<double> timeoutSeconds)
{
    m_reply = m_client->network()->get(m_client->authorizedRequest(url));
    ProgressWatchdog::watch(m_reply, int(timeoutSeconds.value_or(DefaultTimeout) * 1000));
    // Owning the reply means destroying this object aborts the transfer.
    m_reply->setParent(this);
    const auto checkSize = [this](qint64 size) {
        if (size <= BodyLimit::Image)
            return;
        qCInfo(lcScreens) << "image body over the limit:" << m_reply->url().path();
        m_reply->abort();
    };
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this, checkSize] {
        checkSize(m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(m_reply, &QNetworkReply::downloadProgress, this, [checkSize](qint64 received, qint64) {
        checkSize(received);
    });
    connect(m_reply, &QNetworkReply::finished, this, &ImageDownload::onReplyFinished);
}

void ImageDownload::onReplyFinished()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = m_reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    if (!ok) {
        complete(QImage());
        return;
    }
    decode(m_reply->readAll());
}

void ImageDownload::decode(QByteArray body)
{
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher] { complete(watcher->result()); });
    watcher->setFuture(QtConcurrent::run([body = std::move(body)] { return QImage::fromData(body); }));
}

void ImageDownload::complete(const QImage &image)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(image);
    deleteLater();
}
