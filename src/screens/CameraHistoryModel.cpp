#include "screens/CameraHistoryModel.h"

#include "client/FrigateApi.h"
#include "client/TextFormats.h"
#include "screens/ReviewRows.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

constexpr int ThumbnailHeight = 180; // two pixels a point for the 88-point row image

double seconds(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() / 1000.0;
}

} // namespace

HistoryRowListModel::HistoryRowListModel(QObject *parent)
    : MapRecordListModel<HistoryRow>({"thumbPath", "thumbQuery", "title", "line1", "line2", "line3", "wholeDay"},
                                     parent)
{ }

QVariantMap HistoryRowListModel::valueOf(const HistoryRow &row) const
{
    return {{QStringLiteral("thumbPath"), row.thumbPath}, {QStringLiteral("thumbQuery"), row.thumbQuery},
            {QStringLiteral("title"), row.title},         {QStringLiteral("line1"), row.line1},
            {QStringLiteral("line2"), row.line2},         {QStringLiteral("line3"), row.line3},
            {QStringLiteral("wholeDay"), row.wholeDay}};
}

CameraHistoryModel::CameraHistoryModel(QObject *parent, std::function<QDateTime()> clock)
    : QObject(parent)
    , m_clock(std::move(clock))
    , m_calendar(new MonthCalendarModel(this, [this] { return now().date(); }))
    , m_hours(new HistoryRowListModel(this))
    , m_alerts(new ReviewListModel(this))
{
    connect(m_calendar, &MonthCalendarModel::selectedChanged, this, &CameraHistoryModel::onSelectedDayChanged);
}

void CameraHistoryModel::setAppModel(AppModel *model)
{
    if (model == m_app)
        return;
    if (m_app)
        QObject::disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        connect(m_app, &AppModel::reviewRevisionChanged, this, [this] { loadDayAlerts(); });
        // Detections shown or not change which days the review summary marks.
        connect(m_app, &AppModel::settingsChanged, this, [this] {
            if (m_mode == Alerts && m_complete && m_app->settings().showDetections != m_marksShowDetections)
                load();
        });
        connect(m_app, &AppModel::camerasChanged, this, [this] {
            m_alerts->setCameras(m_app->cameras());
            rebuildHourRows();
            emit cameraChanged();
        });
        m_alerts->setCameras(m_app->cameras());
    }
    emit appModelChanged();
}

void CameraHistoryModel::setCamera(const QString &camera)
{
    if (camera == m_camera)
        return;
    m_camera = camera;
    m_recordingDays.clear();
    m_alertDays.clear();
    m_codec.clear();
    m_codecAsked = false;
    updateMarks();
    rebuildHourRows();
    emit cameraChanged();
    if (m_complete)
        load();
}

QString CameraHistoryModel::cameraName() const
{
    return m_app ? displayCameraName(m_app->cameras(), m_camera) : m_camera;
}

void CameraHistoryModel::setMode(Mode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    updateMarks();
    rebuildHourRows();
    emit modeChanged();
    if (m_complete)
        load();
}

QString CameraHistoryModel::selectedDayText() const
{
    return QLocale().toString(m_calendar->selected(), QLocale::LongFormat);
}

void CameraHistoryModel::componentComplete()
{
    m_complete = true;
    load();
}

QTimeZone CameraHistoryModel::labelZone() const
{
    const bool perPeriod = m_app && m_app->client()->serverAtLeast(0, 17);
    return summaryZone(perPeriod, QTimeZone::systemTimeZone(), now());
}

QList<HourSlot> CameraHistoryModel::hoursOfSelectedDay() const
{
    const QDate date = m_calendar->selected();
    const auto day = m_recordingDays.constFind(date.toString(QStringLiteral("yyyy-MM-dd")));
    if (day == m_recordingDays.cend())
        return {};
    return hourSlots(*day, date, labelZone(), now());
}

QList<PlaybackItem> CameraHistoryModel::hourItems() const
{
    QList<PlaybackItem> items;
    const QString name = cameraName();
    for (const HourSlot &slot : hoursOfSelectedDay())
        items.prepend(PlaybackItem{m_camera, name, seconds(slot.start), seconds(slot.end), std::nullopt});
    return items;
}

PlayerRequest CameraHistoryModel::openHour(int row) const
{
    const QList<HistoryRow> &rows = m_hours->records();
    if (row < 0 || row >= rows.size())
        return {};
    if (rows.at(row).wholeDay)
        return openWholeDay();
    // The rows are the whole day (with more than one hour), then the hours in the same order.
    const QList<HourSlot> dayHours = hoursOfSelectedDay();
    const qsizetype at = row - (rows.constFirst().wholeDay ? 1 : 0);
    PlayerRequest request = openWholeDay();
    if (at >= dayHours.size())
        return request;
    const double start = seconds(dayHours.at(at).start);
    const auto item = std::find_if(request.items.begin(), request.items.end(),
                                   [&](const PlaybackItem &i) { return std::abs(i.start - start) < 1; });
    request.index = item == request.items.end() ? 0 : int(item - request.items.begin());
    return request;
}

PlayerRequest CameraHistoryModel::openWholeDay() const
{
    PlayerRequest request;
    request.items = hourItems();
    request.continuous = true;
    return request;
}

PlayerRequest CameraHistoryModel::openAlert(int row) const
{
    if (row < 0 || row >= m_dayAlerts.size() || !m_app)
        return {};
    PlayerRequest request;
    const QDateTime at = now();
    for (const ReviewItem &item : m_dayAlerts)
        request.items.append(reviewPlaybackItem(item, displayCameraName(m_app->cameras(), item.camera), at));
    request.index = row;
    return request;
}

void CameraHistoryModel::onSelectedDayChanged()
{
    rebuildHourRows();
    emit selectedDayChanged();
    loadDayAlerts();
}

void CameraHistoryModel::updateMarks()
{
    if (m_mode == Alerts) {
        m_calendar->setMarked(m_alertDays);
        return;
    }
    QSet<QString> days;
    for (auto it = m_recordingDays.cbegin(); it != m_recordingDays.cend(); ++it)
        days.insert(it.key());
    m_calendar->setMarked(days);
}

void CameraHistoryModel::rebuildHourRows()
{
    const QList<HourSlot> dayHours = m_mode == Recordings ? hoursOfSelectedDay() : QList<HourSlot>{};
    QList<HistoryRow> rows;
    if (dayHours.size() > 1)
        rows.append(wholeDayRow(dayHours));
    for (const HourSlot &slot : dayHours)
        rows.append(hourRow(slot));
    m_hours->setRecords(rows);
    if (!dayHours.isEmpty() && !m_codecAsked && m_app) {
        m_codecAsked = true;
        const HourSlot &hour = dayHours.constLast(); // the earliest: finished unless it is the only one
        loadCodec(PlaybackItem{m_camera, cameraName(), seconds(hour.start), seconds(hour.end), std::nullopt});
    }
}

SnapshotPath CameraHistoryModel::hourThumbnail(const HourSlot &slot) const
{
    if (!m_app)
        return {};
    const ApiRequest request =
        FrigateApi::recordingSnapshotRequest(*m_app->client(), m_camera, hourThumbnailTime(slot, now()), ThumbnailHeight);
    SnapshotPath snapshot{request.path, {}};
    for (const auto &[name, value] : request.query)
        snapshot.query.append(QStringList{name, value});
    return snapshot;
}

HistoryRow CameraHistoryModel::hourRow(const HourSlot &slot) const
{
    const SnapshotPath thumbnail = hourThumbnail(slot);
    return {QStringLiteral("hour ") + slot.record.hour,
            thumbnail.path,
            thumbnail.query,
            cameraName(),
            hourRangeText(slot.hour),
            hourSummaryText(slot.record),
            recordingLineText(m_codec),
            false};
}

HistoryRow CameraHistoryModel::wholeDayRow(const QList<HourSlot> &dayHours) const
{
    double recorded = 0;
    for (const HourSlot &slot : dayHours)
        recorded += slot.record.duration.value_or(0);
    const SnapshotPath thumbnail = hourThumbnail(dayHours.first());
    return {QStringLiteral("day"),
            thumbnail.path,
            thumbnail.query,
            tr("Whole day"),
            //: Under "Whole day": the total recorded time, e.g. "5 h 20 min recorded".
            tr("%1 recorded").arg(durationText(recorded)),
            QString(),
            QString(),
            true};
}

void CameraHistoryModel::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    emit loadingChanged();
}

void CameraHistoryModel::setErrorText(const QString &text)
{
    if (text == m_errorText)
        return;
    m_errorText = text;
    emit errorTextChanged();
}
