#include "screens/StatusViewModel.h"

#include "client/FrigateApi.h"
#include "screens/ReviewRows.h"
#include "screens/StatusRows.h"
#include "state/AppModel.h"
#include "state/PollingClock.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

StatusViewModel::StatusViewModel(QObject *parent)
    : QObject(parent)
    , m_eventRows(new StatusRowsModel(this))
    , m_cameraRows(new StatusRowsModel(this))
    , m_feed(new LogFeed(this))
    , m_ownClock(std::make_unique<SystemPollingClock>())
    , m_clock(m_ownClock.get())
{
    connect(m_feed, &LogFeed::stateChanged, this, &StatusViewModel::logStateChanged);
    connect(m_feed, &LogFeed::linesAppended, this, &StatusViewModel::logLinesAppended);
    showCameras();
}

StatusViewModel::~StatusViewModel()
{
    if (m_following)
        m_following->stop();
}

QString StatusViewModel::rawValue(StatusTab tab)
{
    switch (tab) {
    case StatusTab::Events:
        return QStringLiteral("Eventi");
    case StatusTab::Log:
        return QStringLiteral("Log");
    case StatusTab::Go2rtc:
        return QStringLiteral("go2rtc");
    case StatusTab::Cameras:
        break;
    }
    return QStringLiteral("Telecamere");
}

QStringList StatusViewModel::tabTitles() const
{
    // go2rtc is a product name and stays as it is.
    return {tr("Events"), tr("Log"), QStringLiteral("go2rtc"), tr("Cameras")};
}

void StatusViewModel::setAppModel(AppModel *model)
{
    if (model == m_app)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    m_feed->setFetcher(nullptr);
    if (m_app) {
        connect(m_app, &AppModel::statsChanged, this, &StatusViewModel::showCameras);
        connect(m_app, &AppModel::camerasChanged, this, [this] {
            showEvents();
            showCameras();
        });
        const QPointer<AppModel> app = m_app;
        m_feed->setFetcher([app](QString service, qint64 start, std::optional<qint64> end) {
            return FrigateApi::fetchLogPage(*app->client(), std::move(service), start, end);
        });
    }
    showEvents();
    showCameras();
    emit appModelChanged();
}

void StatusViewModel::setTab(StatusTab tab)
{
    if (tab == m_tab)
        return;
    m_tab = tab;
    emit tabChanged();
    updateFollowing();
    if (m_appeared)
        load();
}

void StatusViewModel::setFilter(const QString &text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    emit filterChanged();
    m_feed->model()->setFilter(loweredFilter());
    showEvents();
    showCameras();
}

QAbstractListModel *StatusViewModel::rows() const
{
    switch (m_tab) {
    case StatusTab::Events:
        return m_eventRows;
    case StatusTab::Cameras:
        return m_cameraRows;
    case StatusTab::Log:
    case StatusTab::Go2rtc:
        break;
    }
    return m_feed->model();
}

void StatusViewModel::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    updateFollowing();
}

void StatusViewModel::setClock(PollingClock *clock)
{
    m_clock = clock ? clock : m_ownClock.get();
    if (m_following) {
        m_following->stop();
        m_following.reset();
    }
    updateFollowing();
}

void StatusViewModel::appear()
{
    if (m_appeared)
        return;
    m_appeared = true;
    load();
}

void StatusViewModel::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    emit loadingChanged();
}

QList<CameraInfo> StatusViewModel::cameras() const
{
    return m_app ? m_app->cameras() : QList<CameraInfo>{};
}

QList<ReviewItem> StatusViewModel::visibleEvents() const
{
    const QString wanted = loweredFilter();
    if (wanted.isEmpty())
        return m_events;
    const QList<CameraInfo> known = cameras();
    QList<ReviewItem> visible;
    for (const ReviewItem &item : m_events) {
        if (eventMatches(item, known, wanted))
            visible.append(item);
    }
    return visible;
}

void StatusViewModel::showEvents()
{
    const QList<CameraInfo> known = cameras();
    const QDateTime now = QDateTime::currentDateTime();
    QList<LogRow> rows;
    for (const ReviewItem &item : visibleEvents())
        rows.append(eventRow(item, known, now));
    m_eventRows->setRecords(rows);
}

void StatusViewModel::showCameras()
{
    const std::optional<StatsSnapshot> stats = m_app ? m_app->stats() : std::nullopt;
    const QString wanted = loweredFilter();
    QList<LogRow> rows{serverSummaryRow(stats)};
    for (const CameraInfo &camera : cameras()) {
        if (cameraMatches(camera, wanted))
            rows.append(cameraRow(camera, stats));
    }
    m_cameraRows->setRecords(rows);
}

void StatusViewModel::openEvent(int row)
{
    const QList<ReviewItem> visible = visibleEvents();
    if (row < 0 || row >= visible.size())
        return;
    const ReviewItem &item = visible.at(row);
    PlayerRequest request;
    request.items = {reviewPlaybackItem(item, displayCameraName(cameras(), item.camera), QDateTime::currentDateTimeUtc())};
    m_player = std::move(request);
    emit playerChanged();
}

void StatusViewModel::closePlayer()
{
    if (!m_player)
        return;
    m_player.reset();
    emit playerChanged();
}

QVariant StatusViewModel::playerValue() const
{
    return m_player ? QVariant::fromValue(*m_player) : QVariant();
}

QString StatusViewModel::rowText(int row) const
{
    if (isLogTab())
        return m_feed->model()->rowText(row);
    return static_cast<StatusRowsModel *>(rows())->rowText(row);
}

void StatusViewModel::copyRow(int row) const
{
    const QString text = rowText(row);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}
