#pragma once
#include "client/FrigateClient.h"
#include "client/WireRecords.h"

#include <QJsonObject>
#include <QCoro/QCoroTask>

// The server operations the application model sends, each built on FrigateClient::request.
// Background operations (stats, summary, logs, aspects, tracks) never fail: they answer an
// empty value, as the model keeps its last value then.
namespace FrigateApi {

struct ServerConfig
{
    QList<CameraInfo> cameras;
    QList<CameraGroup> groups;
};

struct ReviewQuery
{
    std::optional<QStringList> cameras;
    std::optional<double> after;
    std::optional<double> before;
    std::optional<bool> reviewed;
    int limit = 50;
};

QCoro::Task<Result<ServerConfig>> loadConfig(FrigateClient &client);
QCoro::Task<std::optional<StatsSnapshot>> fetchStats(FrigateClient &client);

// The summary object, or nothing on any failure. bypassCache asks the server's proxy for a
// fresh answer (it caches JSON for 5 s), which matters right after marking.
QCoro::Task<std::optional<QJsonObject>> fetchReviewSummary(FrigateClient &client, bool bypassCache);
int unseenCount(const QJsonObject &summary, bool showDetections);

QCoro::Task<QList<LogLine>> fetchLogs(FrigateClient &client, QString service, int tail);

QueryItems reviewQueryItems(const ReviewQuery &query, bool showDetections);
QString decimalText(double value); // shortest round-trip text, always with a fractional part
QCoro::Task<Result<QList<ReviewItem>>> fetchReviews(FrigateClient &client, ReviewQuery query);

// One chunk of at most 200 ids. Servers before 0.17 ignore the "reviewed" flag, so unmarking
// goes through the per-item DELETE there.
QCoro::Task<Status> markReviewedChunk(FrigateClient &client, QStringList ids, bool reviewed);

// Width ÷ height of a 90-pixel-high recording snapshot at `time`, or nothing.
QCoro::Task<std::optional<double>> fetchAspect(FrigateClient &client, QString camera, qint64 time);

QCoro::Task<QList<TrackedObject>> fetchTrackedObjects(FrigateClient &client, ReviewItem item,
                                                      QList<CameraInfo> cameras);

} // namespace FrigateApi
