#pragma once
#include "client/WireRecords.h"
#include "playback/PlaybackItem.h"
#include "screens/HistoryRows.h"
#include "screens/MonthCalendarModel.h"
#include "screens/ReviewListModel.h"
#include "state/AppModel.h"
#include "state/RecordListModel.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <functional>

// One row of the day list in recordings mode: the whole day or one recorded hour.
struct HistoryRow
{
    QString key; // "day", or "hour " and the hour's text
    QString thumbPath;
    QVariantList thumbQuery;
    QString title;
    QString line1;
    QString line2;
    QString line3;
    bool wholeDay = false;

    bool operator==(const HistoryRow &) const = default;
};

// Roles: thumbPath, thumbQuery, title, line1, line2, line3, wholeDay.
class HistoryRowListModel : public MapRecordListModel<HistoryRow>
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    explicit HistoryRowListModel(QObject *parent = nullptr);

protected:
    QString keyOf(const HistoryRow &row) const override { return row.key; }
    QVariantMap valueOf(const HistoryRow &row) const override;
};

// The history of one camera by day: a month calendar marking the days with recordings (or with
// review items), and the selected day's recorded hours (or review items) to play.
// QML creates it with appModel and camera (and mode); it loads once the component is complete,
// again when the mode changes, and the day's review items when the day or the model's
// reviewRevision changes. A failed summary load keeps the previous marks and sets errorText.
class CameraHistoryModel : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(QString camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(QString cameraName READ cameraName NOTIFY cameraChanged)
    Q_PROPERTY(Mode mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(QString selectedDayText READ selectedDayText NOTIFY selectedDayChanged)
    Q_PROPERTY(MonthCalendarModel *calendar READ calendar CONSTANT)
    Q_PROPERTY(HistoryRowListModel *hours READ hours CONSTANT)
    Q_PROPERTY(ReviewListModel *alerts READ alerts CONSTANT)

public:
    enum Mode { Recordings, Alerts };
    Q_ENUM(Mode)

    // Without a clock the model reads the system time; the calendar follows the same clock.
    explicit CameraHistoryModel(QObject *parent = nullptr, std::function<QDateTime()> clock = {});

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    QString camera() const { return m_camera; }
    void setCamera(const QString &camera);
    QString cameraName() const;
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    bool loading() const { return m_loading; }
    QString errorText() const { return m_errorText; }
    QString selectedDayText() const;
    MonthCalendarModel *calendar() const { return m_calendar; }
    HistoryRowListModel *hours() const { return m_hours; }
    ReviewListModel *alerts() const { return m_alerts; }

    // The selected day's recorded hours, latest first, and what the player makes of them
    // (earliest first).
    QList<HourSlot> hoursOfSelectedDay() const;
    QList<PlaybackItem> hourItems() const;
    const QList<ReviewItem> &dayAlerts() const { return m_dayAlerts; }

    // Loads the month marks of the current mode; in alerts mode then the day's items.
    Q_INVOKABLE void load() { reload(); }
    QCoro::Task<> reload();
    QCoro::Task<> loadDayAlerts();

    // Player requests for a row of `hours` (the whole-day row included), for the whole day and
    // for a row of `alerts`; empty for rows that do not exist.
    Q_INVOKABLE PlayerRequest openHour(int row) const;
    Q_INVOKABLE PlayerRequest openWholeDay() const;
    Q_INVOKABLE PlayerRequest openAlert(int row) const;

    void classBegin() override { }
    void componentComplete() override;

signals:
    void appModelChanged();
    void cameraChanged();
    void modeChanged();
    void loadingChanged();
    void errorTextChanged();
    void selectedDayChanged();

private:
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    QTimeZone labelZone() const;
    QCoro::Task<> loadRecordingDays(QueryItems query, int generation);
    QCoro::Task<> loadAlertDays(QueryItems query, int generation);
    QCoro::Task<> loadCodec(PlaybackItem hour);
    void finishLoad(int generation, const std::optional<FrigateError> &error);
    void onSelectedDayChanged();
    void updateMarks();
    void rebuildHourRows();
    HistoryRow hourRow(const HourSlot &slot) const;
    HistoryRow wholeDayRow(const QList<HourSlot> &slots) const;
    SnapshotPath hourThumbnail(const HourSlot &slot) const;
    void setLoading(bool loading);
    void setErrorText(const QString &text);

    std::function<QDateTime()> m_clock;
    QPointer<AppModel> m_app;
    QString m_camera;
    Mode m_mode = Recordings;
    bool m_complete = false;
    bool m_loading = false;
    QString m_errorText;
    QHash<QString, RecordingDay> m_recordingDays;
    QSet<QString> m_alertDays;
    bool m_marksShowDetections = false; // what m_alertDays counted
    QList<ReviewItem> m_dayAlerts;
    QString m_codec;
    bool m_codecAsked = false;
    int m_loadGeneration = 0;
    int m_dayGeneration = 0;
    MonthCalendarModel *m_calendar;
    HistoryRowListModel *m_hours;
    ReviewListModel *m_alerts;
};
