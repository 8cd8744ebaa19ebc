// What a camera's history loads: the month marks, the day's review items, the recordings' codec.
#include "client/FrigateApi.h"
#include "client/Logging.h"
#include "client/WireDecoding.h"
#include "screens/CameraHistoryModel.h"

#include <QJsonObject>

namespace {

constexpr int DayAlertLimit = 500;
// 0.14 and 0.15 answer only items that end before `before`: the items that start late in the
// day and run past midnight need this much more room.
constexpr qint64 ContainmentSlackSeconds = 3600;

double seconds(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() / 1000.0;
}

} // namespace

QCoro::Task<> CameraHistoryModel::reload()
{
    if (!m_app || m_camera.isEmpty())
        co_return;
    const int generation = ++m_loadGeneration;
    setLoading(true);
    setErrorText({});
    QueryItems query{{QStringLiteral("timezone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())}};
    if (m_mode == Recordings)
        co_await loadRecordingDays(query, generation);
    else
        co_await loadAlertDays(query, generation);
}

QCoro::Task<> CameraHistoryModel::loadRecordingDays(QueryItems query, int generation)
{
    const QPointer<CameraHistoryModel> self(this);
    ApiRequest request;
    request.path = QStringLiteral("api/%1/recordings/summary").arg(m_camera);
    request.query = std::move(query);
    const Result<QByteArray> body = co_await m_app->client()->request(request);
    if (!self || generation != m_loadGeneration)
        co_return;
    if (!body)
        co_return finishLoad(generation, body.error());
    auto days = decodeRecordingSummary(body.value());
    if (!days)
        co_return finishLoad(generation, days.error());
    m_recordingDays.clear();
    for (const RecordingDay &day : days.value())
        m_recordingDays.insert(day.day, day);
    updateMarks();
    rebuildHourRows();
    finishLoad(generation, std::nullopt);
}

QCoro::Task<> CameraHistoryModel::loadAlertDays(QueryItems query, int generation)
{
    const QPointer<CameraHistoryModel> self(this);
    query.append({QStringLiteral("cameras"), m_camera});
    const QString path = QStringLiteral("api/review/summary");
    const Result<QJsonValue> summary = co_await m_app->client()->getJSON(path, query);
    if (!self || generation != m_loadGeneration)
        co_return;
    if (!summary)
        co_return finishLoad(generation, summary.error());
    m_marksShowDetections = m_app->settings().showDetections;
    m_alertDays = markedAlertDays(summary.value().toObject(), m_marksShowDetections);
    updateMarks();
    finishLoad(generation, std::nullopt);
    co_await loadDayAlerts();
}

void CameraHistoryModel::finishLoad(int generation, const std::optional<FrigateError> &error)
{
    if (generation != m_loadGeneration)
        return;
    if (error && !error->isCancellation())
        setErrorText(error->message());
    setLoading(false);
}

QCoro::Task<> CameraHistoryModel::loadDayAlerts()
{
    if (m_mode != Alerts || !m_app || m_camera.isEmpty())
        co_return;
    const QPointer<CameraHistoryModel> self(this);
    const int generation = ++m_dayGeneration;
    const QTimeZone zone = labelZone();
    const QDate date = m_calendar->selected();
    const QDateTime start = dayStart(date, zone);
    const QDateTime end = dayStart(date.addDays(1), zone);
    FrigateApi::ReviewQuery query;
    query.cameras = QStringList{m_camera};
    query.after = seconds(start);
    query.before = seconds(end) + (m_app->client()->serverAtLeast(0, 16) ? 0 : ContainmentSlackSeconds);
    query.limit = DayAlertLimit;
    const auto items = co_await m_app->fetchReviews(query);
    if (!self || generation != m_dayGeneration)
        co_return;
    if (!items && items.error().isCancellation())
        co_return;
    m_dayAlerts = items ? itemsStartingIn(items.value(), start, end) : QList<ReviewItem>{};
    m_alerts->setRecords(m_dayAlerts);
}

QCoro::Task<> CameraHistoryModel::loadCodec(PlaybackItem hour)
{
    const QPointer<CameraHistoryModel> self(this);
    const QString camera = m_camera;
    ApiRequest request;
    request.path = vodPlaylistPath(hour);
    request.maxBytes = BodyLimit::Text;
    const Result<QByteArray> playlist = co_await m_app->client()->request(request);
    if (!self || camera != m_camera)
        co_return;
    if (!playlist) {
        qCDebug(lcScreens) << "no codec for" << camera << playlist.error().message();
        co_return;
    }
    m_codec = codecText(playlist.value());
    rebuildHourRows();
}
