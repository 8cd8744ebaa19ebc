#include "client/FrigateApi.h"
#include "client/LogLineParser.h"
#include "client/Logging.h"
#include "client/TrackBuilding.h"
#include "client/WireDecoding.h"
#include "client/WireNumbers.h"

#include <QBuffer>
#include <QDateTime>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimeZone>
#include <cmath>

namespace FrigateApi {
namespace {
constexpr int MarkChunkSize = 200;
constexpr int MaxTrackedDetections = 12;
constexpr double AspectTimeout = 15.0;
// Stats come back within a second even from a busy server; polling hears a silent one as lost
// after two passes of this, not after the general minute.
constexpr double StatsTimeout = 10.0;

std::optional<QJsonValue> parseJson(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

// The proxy caches review answers for 5 s: right after a mark, or when the caller asks, skip it.
void bypassReviewCache(const FrigateClient &client, ApiRequest &request, bool always = false)
{
    if (always || client.reviewAnswersStale())
        request.headers.append({QByteArrayLiteral("X-Cache-Bypass"), QByteArrayLiteral("1")});
}

QCoro::Task<std::optional<QJsonValue>> getQuietly(FrigateClient &client, QString path, QueryItems query)
{
    const auto answer = co_await client.getJSON(path, query);
    if (!answer)
        co_return std::nullopt;
    co_return answer.value();
}
} // namespace

QCoro::Task<Result<ServerConfig>> loadConfig(FrigateClient &client)
{
    ApiRequest request;
    request.path = QStringLiteral("api/config");
    const auto body = co_await client.request(request);
    if (!body)
        co_return body.error();
    const auto json = parseJson(body.value());
    if (!json)
        co_return FrigateError::decoding(QStringLiteral("invalid JSON"));
    if (!json->isObject())
        co_return FrigateError::decoding(QStringLiteral("configurazione"));
    co_return decodeConfig(json->toObject(), body.value());
}

QCoro::Task<Result<StatsSnapshot>> fetchStats(FrigateClient &client)
{
    ApiRequest request;
    request.path = QStringLiteral("api/stats");
    request.timeoutSeconds = StatsTimeout;
    const auto body = co_await client.request(request);
    if (!body)
        co_return body.error();
    const auto json = parseJson(body.value());
    if (!json || !json->isObject())
        co_return FrigateError::decoding(QStringLiteral("stats are not a JSON object"));
    co_return decodeStats(json->toObject());
}

QCoro::Task<std::optional<QJsonObject>> fetchReviewSummary(FrigateClient &client, bool bypassCache)
{
    ApiRequest request;
    request.path = QStringLiteral("api/review/summary");
    request.query = {{QStringLiteral("timezone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())}};
    bypassReviewCache(client, request, bypassCache);
    const auto body = co_await client.request(request);
    if (!body)
        co_return std::nullopt;
    const auto json = parseJson(body.value());
    if (!json || !json->isObject())
        co_return std::nullopt;
    co_return json->toObject();
}

int unseenCount(const QJsonObject &summary, bool showDetections)
{
    qint64 sum = 0;
    for (auto it = summary.begin(); it != summary.end(); ++it) {
        if (it.key() == QLatin1String("last24Hours") || !it.value().isObject())
            continue;
        const QJsonObject day = it.value().toObject();
        const auto count = [&day](const char *key) {
            constexpr qint64 Most = std::numeric_limits<int>::max();
            return clampedWhole<qint64>(trimmedNumberValue(day.value(QLatin1String(key))), -Most, Most);
        };
        sum += count("total_alert") - count("reviewed_alert");
        if (showDetections)
            sum += count("total_detection") - count("reviewed_detection");
    }
    return int(std::clamp<qint64>(sum, 0, std::numeric_limits<int>::max()));
}

QCoro::Task<QList<LogLine>> fetchLogs(FrigateClient &client, QString service, int tail)
{
    // The server slices its line list as Python does: a negative start counts from the end.
    const QString path = QStringLiteral("api/logs/") + service;
    const QueryItems lastLines{{QStringLiteral("start"), QString::number(-qint64(std::max(tail, 0)))}};
    const auto page = co_await getQuietly(client, path, lastLines);
    if (!page || !page->isObject())
        co_return {};
    const QJsonValue lines = page->toObject().value(QLatin1String("lines"));
    if (!lines.isArray())
        co_return {};
    const QJsonArray array = lines.toArray();
    const double total = trimmedNumberValue(page->toObject().value(QLatin1String("totalLines")));
    const qint64 received = array.size();
    const qint64 start = std::max<qint64>(clampedWhole<qint64>(total, 0, qint64(1) << 53) - received, 0);

    QList<LogLine> parsed;
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QString text = array.at(index).toString().trimmed();
        if (!text.isEmpty())
            parsed.prepend(parseLogLine(text, start + index, service));
    }
    co_return parsed;
}

QCoro::Task<Result<LogPage>> fetchLogPage(FrigateClient &client, QString service, qint64 start,
                                          std::optional<qint64> end)
{
    ApiRequest request;
    request.path = QStringLiteral("api/logs/") + service;
    request.query = {{QStringLiteral("start"), QString::number(start)}};
    if (end)
        request.query.append({QStringLiteral("end"), QString::number(*end)});
    const auto body = co_await client.request(request);
    if (!body)
        co_return body.error();
    co_return decodeLogPage(body.value(), start, service);
}

QString decimalText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0.0");
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QueryItems reviewQueryItems(const ReviewQuery &query, bool showDetections, bool seenFlagFilters)
{
    QueryItems items{{QStringLiteral("limit"), QString::number(query.limit)}};
    if (query.cameras && !query.cameras->isEmpty())
        items.append({QStringLiteral("cameras"), query.cameras->join(QLatin1Char(','))});
    items.append({QStringLiteral("after"), decimalText(query.after.value_or(1.0))});
    if (query.before)
        items.append({QStringLiteral("before"), decimalText(*query.before)});
    if (query.reviewed == false)
        items.append({QStringLiteral("reviewed"), QStringLiteral("0")});
    else if (!seenFlagFilters)
        items.append({QStringLiteral("reviewed"), QStringLiteral("1")});
    if (!showDetections || query.alertsOnly)
        items.append({QStringLiteral("severity"), QStringLiteral("alert")});
    return items;
}

QCoro::Task<Result<QList<ReviewItem>>> fetchReviews(FrigateClient &client, ReviewQuery query)
{
    ApiRequest request;
    request.path = QStringLiteral("api/review");
    request.query = reviewQueryItems(query, client.settings().showDetections, client.serverAtLeast(0, 17));
    bypassReviewCache(client, request);
    const auto body = co_await client.request(request);
    if (!body)
        co_return body.error();
    auto items = decodeReviewList(body.value());
    if (!items)
        co_return items.error();
    QList<ReviewItem> sorted = items.takeValue();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ReviewItem &a, const ReviewItem &b) { return a.start_time > b.start_time; });
    co_return sorted;
}

namespace {
QCoro::Task<Status> sendMarks(FrigateClient &client, QStringList ids, bool reviewed)
{
    if (reviewed || client.serverAtLeast(0, 17)) {
        ApiRequest request;
        request.path = QStringLiteral("api/reviews/viewed");
        request.method = "POST";
        request.body = QJsonObject{{QStringLiteral("ids"), QJsonArray::fromStringList(ids)},
                                   {QStringLiteral("reviewed"), reviewed}};
        const auto answer = co_await client.request(request);
        co_return answer ? Status() : Status(answer.error());
    }
    Status firstFailure;
    for (const QString &id : std::as_const(ids)) {
        ApiRequest request;
        request.path = QStringLiteral("api/review/%1/viewed").arg(id);
        request.method = "DELETE";
        const auto answer = co_await client.request(request);
        if (!answer && !firstFailure)
            firstFailure = answer.error();
    }
    co_return firstFailure;
}
} // namespace

ReviewPager reviewPager(const FrigateClient &client, ReviewQuery first)
{
    const bool startBound = client.serverAtLeast(0, 16);
    return ReviewPager(std::move(first), startBound ? ReviewPaging::ByStartTime : ReviewPaging::ByGrowingLimit);
}

QCoro::Task<Status> markReviewedChunk(FrigateClient &client, QStringList ids, bool reviewed)
{
    if (!reviewed && client.serverVersion().isEmpty()) {
        const auto version = co_await client.fetchVersion();
        if (!version)
            co_return FrigateError::decoding(QStringLiteral("no server version, so unmarking is not sent"));
    }
    const QPointer<FrigateClient> guard(&client);
    client.noteReviewsMarked();
    const Status status = co_await sendMarks(client, ids, reviewed);
    if (guard)
        client.noteReviewsMarked();
    co_return status;
}

ApiRequest recordingSnapshotRequest(const FrigateClient &client, const QString &camera, qint64 time, int height)
{
    ApiRequest request;
    request.maxBytes = BodyLimit::Image;
    const QString base = QStringLiteral("api/%1/recordings/%2/snapshot.").arg(camera).arg(time);
    if (!client.serverAtLeast(0, 15)) {
        request.path = base + QStringLiteral("png");
        return request;
    }
    request.path = base + QStringLiteral("jpg");
    request.query = {{QStringLiteral("height"), QString::number(height)}};
    return request;
}

QCoro::Task<std::optional<double>> fetchAspect(FrigateClient &client, QString camera, qint64 time)
{
    ApiRequest request = recordingSnapshotRequest(client, camera, time, 90);
    request.timeoutSeconds = AspectTimeout;
    const auto body = co_await client.request(request);
    if (!body)
        co_return std::nullopt;
    QByteArray bytes = body.value();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.height() <= 0)
        co_return std::nullopt;
    co_return double(size.width()) / size.height();
}

QCoro::Task<QList<TrackedObject>> fetchTrackedObjects(FrigateClient &client, ReviewItem item, QList<CameraInfo> cameras)
{
    double offsetMs = 0;
    for (const CameraInfo &camera : std::as_const(cameras)) {
        if (camera.name == item.camera) {
            offsetMs = camera.annotationOffset;
            break;
        }
    }

    // The client may go away with its model while these requests run.
    const QPointer<FrigateClient> guard(&client);
    QList<TrackedObject> tracks;
    const QStringList ids = item.data.detections.mid(0, MaxTrackedDetections);
    for (const QString &id : ids) {
        const QString eventPath = QStringLiteral("api/events/") + id;
        const QueryItems noQuery;
        const auto event = co_await getQuietly(client, eventPath, noQuery);
        if (!guard)
            co_return {};
        if (!event || !event->isObject())
            continue;
        const QueryItems timelineQuery{{QStringLiteral("source_id"), id}, {QStringLiteral("limit"), QStringLiteral("500")}};
        const QString timelinePath = QStringLiteral("api/timeline");
        const auto timeline = co_await getQuietly(client, timelinePath, timelineQuery);
        if (!guard)
            co_return {};
        const QJsonArray rows = timeline && timeline->isArray() ? timeline->toArray() : QJsonArray();
        const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        if (auto track = buildTrackedObject(id, event->toObject(), rows, offsetMs, now))
            tracks.append(*track);
    }
    co_return tracks;
}

QCoro::Task<Result<QList<RecordingSegment>>> fetchRecordingSegments(FrigateClient &client, QString camera,
                                                                  double after, double before)
{
    ApiRequest request;
    request.path = QStringLiteral("api/%1/recordings").arg(camera);
    request.query = {{QStringLiteral("after"), decimalText(after)}, {QStringLiteral("before"), decimalText(before)}};
    const auto body = co_await client.request(request);
    if (!body)
        co_return body.error();
    co_return decodeRecordingSegments(body.value());
}

} // namespace FrigateApi
