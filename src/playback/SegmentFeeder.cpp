#include "playback/SegmentFeeder.h"

#include "client/FrigateClient.h"
#include "client/Logging.h"
#include "playback/ByteQueue.h"
#include "playback/PlaybackError.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

bool successStatus(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status <= 299;
}

}

SegmentFeeder::SegmentFeeder(MediaSource source, QList<Part> parts, std::shared_ptr<ByteQueue> queue, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_parts(std::move(parts))
    , m_queue(std::move(queue))
{
    m_queue->setDrainedCallback([this] { QMetaObject::invokeMethod(this, "pump", Qt::QueuedConnection); });
}

SegmentFeeder::~SegmentFeeder()
{
    m_queue->setDrainedCallback({});
    abortAll();
}

void SegmentFeeder::start()
{
    pump();
}

void SegmentFeeder::pump()
{
    if (m_stopped)
        return;
    while (int(m_fetches.size()) < Window && m_next < m_parts.size() && !m_queue->full())
        startFetch();
    if (m_fetches.empty() && m_next >= m_parts.size())
        m_queue->finish();
}

void SegmentFeeder::startFetch()
{
    if (!m_source.network) {
        fail(PlaybackError::generic());
        return;
    }
    const Part &part = m_parts[m_next++];
    qCDebug(lcPlayback) << "fetching" << part.url.path();
    QNetworkReply *reply = m_source.get(part.url);
    Fetch fetch;
    fetch.reply = reply;
    fetch.container = part.container;
    m_fetches.push_back(std::move(fetch));
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onReadyRead(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
}

SegmentFeeder::Fetch *SegmentFeeder::fetchOf(QNetworkReply *reply)
{
    for (Fetch &fetch : m_fetches) {
        if (fetch.reply == reply)
            return &fetch;
    }
    return nullptr;
}

void SegmentFeeder::onReadyRead(QNetworkReply *reply)
{
    Fetch *fetch = fetchOf(reply);
    if (!fetch || !successStatus(reply))
        return; // an error page never reaches the demuxer; finished() reports the status
    QByteArray bytes = reply->readAll();
    fetch->received += bytes.size();
    if (fetch->received > BodyLimit::Media) {
        fetch->failure = PlaybackError::segmentTooLarge();
        reply->abort();
        return;
    }
    if (!recognise(*fetch, bytes, reply->isFinished()) || bytes.isEmpty())
        return;
    if (fetch == &m_fetches.front())
        m_queue->append(bytes);
    else
        fetch->held += bytes;
}

bool SegmentFeeder::recognise(Fetch &fetch, QByteArray &bytes, bool complete)
{
    if (fetch.recognised)
        return true;
    fetch.head += bytes;
    bytes.clear();
    if (fetch.head.size() < ContainerSignature::HeadSize && !complete)
        return false;
    if (!ContainerSignature::matches(fetch.container, fetch.head)) {
        qCInfo(lcPlayback) << "not a media segment:" << fetch.reply->url().path() << fetch.head.left(16).toHex();
        fetch.failure = PlaybackError::generic();
        if (!complete)
            fetch.reply->abort();
        return false;
    }
    fetch.recognised = true;
    bytes = std::move(fetch.head);
    fetch.head.clear();
    return true;
}

void SegmentFeeder::onFinished(QNetworkReply *reply)
{
    Fetch *fetch = fetchOf(reply);
    if (!fetch)
        return;
    if (fetch->failure.isEmpty())
        fetch->failure = PlaybackError::fromReply(reply);
    if (fetch->failure.isEmpty())
        onReadyRead(reply);
    if (fetch->failure.isEmpty() && !fetch->recognised)
        fetch->failure = PlaybackError::generic(); // an empty answer
    if (!fetch->failure.isEmpty())
        qCInfo(lcPlayback) << "segment request failed:" << reply->url().path() << fetch->failure;
    fetch->done = true;
    advanceHead();
}

void SegmentFeeder::advanceHead()
{
    while (!m_fetches.empty() && m_fetches.front().done) {
        Fetch head = std::move(m_fetches.front());
        m_fetches.pop_front();
        head.reply->deleteLater();
        if (!head.failure.isEmpty()) {
            fail(head.failure);
            return;
        }
        if (!m_fetches.empty()) {
            m_queue->append(m_fetches.front().held);
            m_fetches.front().held.clear();
        }
    }
    pump();
}

void SegmentFeeder::fail(const QString &message)
{
    m_stopped = true;
    abortAll();
    m_queue->fail(message);
}

void SegmentFeeder::abortAll()
{
    for (Fetch &fetch : m_fetches) {
        fetch.reply->disconnect(this);
        fetch.reply->abort();
        fetch.reply->deleteLater();
    }
    m_fetches.clear();
}
