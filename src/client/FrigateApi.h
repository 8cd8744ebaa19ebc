#pragma once
#include "client/FrigateClient.h"
#include "client/LogPage.h"
#include "client/ReviewPager.h"
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

QCoro::Task<Result<ServerConfig>> loadConfig(FrigateClient &client);
QCoro::Task<Result<StatsSnapshot>> fetchStats(FrigateClient &client);

// The summary object, or nothing on any failure. bypassCache asks the server's proxy for a
// fresh answer (it caches JSON for 5 s); requests soon after a mark do so on their own.
QCoro::Task<std::optional<QJsonObject>> fetchReviewSummary(FrigateClient &client, bool bypassCache);
int unseenCount(const QJsonObject &summary, bool showDetections);

// The last `tail` lines, newest first, in one request.
QCoro::Task<QList<LogLine>> fetchLogs(FrigateClient &client, QString service, int tail);
// The lines [start, end) of a log, with Python's slice rules; no end reads to the end of the log.
QCoro::Task<Result<LogPage>> fetchLogPage(FrigateClient &client, QString service, qint64 start,
                                          std::optional<qint64> end);

// seenFlagFilters: from 0.17 "reviewed=1" means "seen only"; before, any non-zero value means
// "seen and unseen" and leaving it out means "unseen only".
QueryItems reviewQueryItems(const ReviewQuery &query, bool showDetections, bool seenFlagFilters);
QString decimalText(double value); // shortest round-trip text, always with a fractional part
QCoro::Task<Result<QList<ReviewItem>>> fetchReviews(FrigateClient &client, ReviewQuery query);
// A pager walking the review list as the client's server reads `before`.
ReviewPager reviewPager(const FrigateClient &client, ReviewQuery first);

// One chunk of at most 200 ids. Servers before 0.17 ignore the "reviewed" flag and mark the
// items seen, so unmarking goes through the per-item DELETE there; with the version unknown it
// is asked first, and unmarking fails when it cannot be learnt.
QCoro::Task<Status> markReviewedChunk(FrigateClient &client, QStringList ids, bool reviewed);

// The recording snapshot of `camera` at `time`: 0.14 renders only full-size PNG; 0.15 and later
// JPEG scaled to `height` pixels.
ApiRequest recordingSnapshotRequest(const FrigateClient &client, const QString &camera, qint64 time, int height);

// Width ÷ height of a 90-pixel-high recording snapshot at `time`, or nothing.
QCoro::Task<std::optional<double>> fetchAspect(FrigateClient &client, QString camera, qint64 time);

QCoro::Task<QList<TrackedObject>> fetchTrackedObjects(FrigateClient &client, ReviewItem item,
                                                      QList<CameraInfo> cameras);

// The recording files of `camera` overlapping [after, before] (seconds since 1970), oldest first.
// Both bounds are always sent: 0.15+ freeze the defaults at server start.
QCoro::Task<Result<QList<RecordingSegment>>> fetchRecordingSegments(FrigateClient &client, QString camera,
                                                                  double after, double before);

} // namespace FrigateApi
