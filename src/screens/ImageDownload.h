#pragma once
#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QUrl>
#include <optional>

class FrigateClient;
class QNetworkReply;

// One authorized image GET: the body is capped, then decoded on a worker thread. Emits
// `finished` once (a null image on any failure) and deletes itself afterwards. Destroying it
// earlier aborts the request.
class ImageDownload : public QObject
{
    Q_OBJECT
public:
    ImageDownload(FrigateClient *client, const std::optional<QUrl> &url, std::optional<double> timeoutSeconds,
                  QObject *parent = nullptr);

signals:
    void finished(const QImage &image);

private:
    void start(const QUrl &url, std::optional<double> timeoutSeconds);
    void onReplyFinished();
    void decode(QByteArray body);
    void complete(const QImage &image);

    FrigateClient *m_client;
    QNetworkReply *m_reply = nullptr;
    bool m_done = false;
};
