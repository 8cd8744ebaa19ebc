#pragma once
#include "playback/PlaybackItem.h"
#include "screens/LogFeed.h"
#include "screens/StatusRowsModel.h"

#include <QAbstractListModel>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class AppModel;
class PollingClock;
class StopToken;

// The status tab: the server's recent events, the server and go2rtc logs, and the state of the
// server and of every camera, each narrowed by one filter text. `rows` is the list of the
// current tab. Reading the server log clears the status badge.
//
// While the screen is active on a log tab the tail is read again every TailRefresh; earlier
// lines come a page at a time through loadEarlier. A newer load supersedes an older one.
class StatusViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")

public:
    enum class StatusTab { Events, Log, Go2rtc, Cameras };
    Q_ENUM(StatusTab)

private:
    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(StatusTab tab READ tab WRITE setTab NOTIFY tabChanged)
    Q_PROPERTY(QStringList tabTitles READ tabTitles CONSTANT)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QAbstractListModel *rows READ rows NOTIFY tabChanged)
    Q_PROPERTY(bool isLogTab READ isLogTab NOTIFY tabChanged)
    Q_PROPERTY(bool loadingEarlier READ loadingEarlier NOTIFY logStateChanged)
    Q_PROPERTY(bool reachedStart READ reachedStart NOTIFY logStateChanged)
    // The screen is shown: a log tab follows its tail only then.
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // The PlayerRequest for the full-screen player; undefined when none is shown.
    Q_PROPERTY(QVariant player READ playerValue NOTIFY playerChanged)
    Q_PROPERTY(bool hasPlayer READ hasPlayer NOTIFY playerChanged)

public:
    static constexpr int EventLimit = 200;
    static constexpr std::chrono::seconds TailRefresh{5};

    explicit StatusViewModel(QObject *parent = nullptr);
    ~StatusViewModel() override;

    // The tab's stored name ("Eventi", "Log", "go2rtc", "Telecamere").
    static QString rawValue(StatusTab tab);

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    StatusTab tab() const { return m_tab; }
    // Loads the new tab once the screen has appeared.
    void setTab(StatusTab tab);
    QStringList tabTitles() const;
    QString filter() const { return m_filter; }
    void setFilter(const QString &text);
    bool loading() const { return m_loading; }
    QAbstractListModel *rows() const;
    bool isLogTab() const { return m_tab == StatusTab::Log || m_tab == StatusTab::Go2rtc; }
    bool loadingEarlier() const { return m_feed->loadingEarlier(); }
    bool reachedStart() const { return m_feed->reachedStart(); }
    bool active() const { return m_active; }
    void setActive(bool active);
    const std::optional<PlayerRequest> &player() const { return m_player; }
    bool hasPlayer() const { return m_player.has_value(); }

    StatusRowsModel *eventRows() const { return m_eventRows; }
    StatusRowsModel *cameraRows() const { return m_cameraRows; }
    LogFeed *logFeed() const { return m_feed; }
    // The tail refresh waits on this clock; the view-model's own system clock by default.
    void setClock(PollingClock *clock);

    // First appearance: loads the current tab; later tab changes load theirs.
    Q_INVOKABLE void appear();
    Q_INVOKABLE void loadStatus() { load(); }
    QCoro::Task<> load();
    Q_INVOKABLE void loadEarlier() { m_feed->loadEarlier(); }
    // Plays the event shown at `row` in the full-screen player.
    Q_INVOKABLE void openEvent(int row);
    Q_INVOKABLE void closePlayer();
    Q_INVOKABLE QString rowText(int row) const;
    Q_INVOKABLE void copyRow(int row) const;

signals:
    void appModelChanged();
    void tabChanged();
    void filterChanged();
    void loadingChanged();
    void logStateChanged();
    void activeChanged();
    void playerChanged();
    // Lines were added at the end of the log shown, by a refresh.
    void logLinesAppended();

private:
    QCoro::Task<> loadEvents(quint64 generation);
    QCoro::Task<> loadLog(QString service, quint64 generation);
    QCoro::Task<> followTail(std::shared_ptr<StopToken> stop);
    void updateFollowing();
    void showEvents();
    void showCameras();
    void setLoading(bool loading);
    QString loweredFilter() const { return m_filter.toLower(); }
    QList<ReviewItem> visibleEvents() const;
    QList<CameraInfo> cameras() const;
    QVariant playerValue() const;

    QPointer<AppModel> m_app;
    StatusTab m_tab = StatusTab::Events;
    QString m_filter;
    bool m_loading = false;
    bool m_appeared = false;
    bool m_active = false;
    QList<ReviewItem> m_events;
    StatusRowsModel *m_eventRows;
    StatusRowsModel *m_cameraRows;
    LogFeed *m_feed;
    std::optional<PlayerRequest> m_player;
    // Raised by every load; a load that finds it changed drops its answer.
    quint64 m_generation = 0;
    std::unique_ptr<PollingClock> m_ownClock;
    PollingClock *m_clock;
    std::shared_ptr<StopToken> m_following;
};
