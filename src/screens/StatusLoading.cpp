// How the status screen loads its tabs and follows a log's tail.
#include "screens/StatusViewModel.h"

#include "client/FrigateApi.h"
#include "state/AppModel.h"
#include "state/PollingClock.h"

QCoro::Task<> StatusViewModel::load()
{
    if (!m_app)
        co_return;
    const quint64 generation = ++m_generation;
    setLoading(true);
    const QPointer<StatusViewModel> self(this);
    switch (m_tab) {
    case StatusTab::Events:
        co_await loadEvents(generation);
        break;
    case StatusTab::Log:
        co_await loadLog(QStringLiteral("frigate"), generation);
        break;
    case StatusTab::Go2rtc:
        co_await loadLog(QStringLiteral("go2rtc"), generation);
        break;
    case StatusTab::Cameras: {
        const QPointer<AppModel> app = m_app;
        co_await app->refreshStats();
        break;
    }
    }
    if (self && generation == m_generation)
        setLoading(false);
}

QCoro::Task<> StatusViewModel::loadEvents(quint64 generation)
{
    FrigateApi::ReviewQuery query;
    query.limit = EventLimit;
    query.after = 1.0;
    const QPointer<StatusViewModel> self(this);
    const QPointer<AppModel> app = m_app;
    const Result<QList<ReviewItem>> items = co_await app->fetchReviews(query);
    // A failed request leaves the events shown as they were.
    if (!self || generation != m_generation || !items)
        co_return;
    m_events = items.value();
    showEvents();
}

QCoro::Task<> StatusViewModel::loadLog(QString service, quint64 generation)
{
    const QPointer<StatusViewModel> self(this);
    const bool arrived = co_await m_feed->loadTail(service);
    if (!self || !arrived || generation != m_generation)
        co_return;
    if (service == QLatin1String("frigate") && m_app)
        m_app->markLogsSeen();
}

void StatusViewModel::updateFollowing()
{
    const bool wanted = m_active && isLogTab();
    if (wanted == bool(m_following))
        return;
    if (!wanted) {
        m_following->stop();
        m_following.reset();
        return;
    }
    m_following = std::make_shared<StopToken>();
    followTail(m_following);
}

// Lines read as they arrive on the server log count as seen, as the load's did.
QCoro::Task<> StatusViewModel::followTail(std::shared_ptr<StopToken> stop)
{
    PollingClock *clock = m_clock;
    while (!stop->isStopped()) {
        co_await clock->sleep(TailRefresh, stop);
        if (stop->isStopped() || m_loading)
            continue;
        const qsizetype before = m_feed->model()->loadedLines();
        co_await m_feed->refreshTail();
        if (stop->isStopped())
            co_return;
        if (m_tab == StatusTab::Log && m_app && m_feed->model()->loadedLines() != before)
            m_app->markLogsSeen();
    }
}
