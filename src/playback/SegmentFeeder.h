#pragma once
#include "playback/ContainerSignature.h"
#include "playback/MediaSource.h"

#include <QList>
#include <QObject>
#include <QUrl>
#include <deque>
#include <memory>

class ByteQueue;
class QNetworkReply;

// Fetches the init section and the segments of a playlist, in order, into a ByteQueue on the GUI
// thread: the head segment streams straight in, the next one is prefetched into memory, and no new
// segment is started while the queue holds more than its high-water mark.
class SegmentFeeder : public QObject
{
    Q_OBJECT
public:
    struct Part
    {
        QUrl url;
        Container container;
    };

    SegmentFeeder(MediaSource source, QList<Part> parts, std::shared_ptr<ByteQueue> queue,
                  QObject *parent = nullptr);
    ~SegmentFeeder() override;

    void start();

private:
    struct Fetch
    {
        QNetworkReply *reply = nullptr;
        Container container = Container::TransportStream;
        QByteArray head; // first bytes, kept until the container is recognised
        bool recognised = false;
        QByteArray held;
        qint64 received = 0;
        bool done = false;
        QString failure;
    };

    Q_INVOKABLE void pump();
    void startFetch();
    void onReadyRead(QNetworkReply *reply);
    bool recognise(Fetch &fetch, QByteArray &bytes, bool complete);
    void onFinished(QNetworkReply *reply);
    void advanceHead();
    Fetch *fetchOf(QNetworkReply *reply);
    void fail(const QString &message);
    void abortAll();

    static constexpr int Window = 2;

    MediaSource m_source;
    QList<Part> m_parts;
    std::shared_ptr<ByteQueue> m_queue;
    std::deque<Fetch> m_fetches;
    int m_next = 0;
    bool m_stopped = false;
};
