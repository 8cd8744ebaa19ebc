#include "state/BadgePolling.h"
#include "client/FrigateApi.h"
#include "client/FrigateClient.h"
#include "state/PollingClock.h"
#include "client/PreferencesStore.h"
#include "state/ServerList.h"

#include <QDateTime>
#include <algorithm>

using namespace std::chrono_literals;

namespace {
constexpr auto PollInterval = 5s;
constexpr auto UnseenRefetchDelay = 2s;
constexpr int SlowPollEvery = 6;
constexpr int LogBadgeTail = 300;
constexpr int MarkChunkSize = 200;

std::shared_ptr<StopToken> stoppedToken()
{
    auto token = std::make_shared<StopToken>();
    token->stop();
    return token;
}
} // namespace

BadgePolling::BadgePolling(PreferencesStore *preferences, FrigateClient *client, PollingClock *clock, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_client(client)
    , m_clock(clock)
    , m_session(stoppedToken())
{ }

BadgePolling::~BadgePolling()
{
    m_session->stop();
    cancelPolling();
}

void BadgePolling::beginSession()
{
    m_session->stop();
    m_session = std::make_shared<StopToken>();
}

void BadgePolling::endSession()
{
    m_session->stop();
    cancelPolling();
    // A summary still in flight must not bring the badge back.
    ++m_unseenGeneration;
    setStats(std::nullopt);
    setUnseenCount(0);
    setStatusBadge(0);
}

void BadgePolling::startPolling()
{
    cancelPolling();
    m_pollStop = std::make_shared<StopToken>();
    pollLoop(m_pollStop);
}

void BadgePolling::cancelPolling()
{
    if (!m_pollStop)
        return;
    m_pollStop->stop();
    m_pollStop.reset();
}

QCoro::Task<> BadgePolling::pollLoop(std::shared_ptr<StopToken> stop)
{
    while (!stop->isStopped()) {
        co_await pollStats(stop);
        if (stop->isStopped())
            co_return;
        if (m_tick % SlowPollEvery == 0) {
            co_await pollUnseenCount(false, stop);
            if (stop->isStopped())
                co_return;
            emit unseenPolled();
            co_await pollLogBadge(stop);
            if (stop->isStopped())
                co_return;
        }
        ++m_tick;
        PollingClock *clock = m_clock;
        co_await clock->sleep(std::chrono::milliseconds(PollInterval), stop);
    }
}

void BadgePolling::startBackgroundPolling()
{
    cancelPolling();
    m_pollStop = std::make_shared<StopToken>();
    backgroundLoop(m_pollStop);
}

QCoro::Task<> BadgePolling::backgroundLoop(std::shared_ptr<StopToken> stop)
{
    while (!stop->isStopped()) {
        co_await pollUnseenCount(false, stop);
        if (stop->isStopped())
            co_return;
        emit unseenPolled();
        PollingClock *clock = m_clock;
        co_await clock->sleep(std::chrono::milliseconds(PollInterval * SlowPollEvery), stop);
    }
}

QCoro::Task<> BadgePolling::refreshStats()
{
    return pollStats(m_session);
}

QCoro::Task<> BadgePolling::pollStats(std::shared_ptr<StopToken> stop)
{
    if (stop->isStopped())
        co_return;
    auto stats = co_await FrigateApi::fetchStats(*m_client);
    if (stop->isStopped())
        co_return;
    if (!stats) {
        if (!stats.error().isCancellation())
            emit statsFailed(stats.error());
        co_return;
    }
    emit statsAnswered();
    setStats(stats.takeValue());
}

QCoro::Task<> BadgePolling::refreshUnseenCount(bool bypassCache)
{
    return pollUnseenCount(bypassCache, m_session);
}

QCoro::Task<> BadgePolling::pollUnseenCount(bool bypassCache, std::shared_ptr<StopToken> stop)
{
    if (stop->isStopped())
        co_return;
    const qint64 generation = m_unseenGeneration;
    const auto summary = co_await FrigateApi::fetchReviewSummary(*m_client, bypassCache);
    if (stop->isStopped() || !summary)
        co_return;
    // Marks sent while this request ran are not in its answer.
    if (generation != m_unseenGeneration)
        co_return;
    setUnseenCount(std::max(0, FrigateApi::unseenCount(*summary, m_client->settings().showDetections)));
}

QCoro::Task<> BadgePolling::refreshLogBadge()
{
    return pollLogBadge(m_session);
}

QCoro::Task<> BadgePolling::pollLogBadge(std::shared_ptr<StopToken> stop)
{
    if (stop->isStopped())
        co_return;
    const QString service = QStringLiteral("frigate");
    const QList<LogLine> lines = co_await FrigateApi::fetchLogs(*m_client, service, LogBadgeTail);
    // A failed read answers no lines; the badge keeps its value then.
    if (stop->isStopped() || lines.isEmpty())
        co_return;
    const double seen = logSeenMarker();
    const auto isNew = [seen](const LogLine &line) {
        return line.level >= LogLine::Level::Warning && line.date && line.date->toMSecsSinceEpoch() / 1000.0 > seen;
    };
    setStatusBadge(int(std::count_if(lines.begin(), lines.end(), isNew)));
}

void BadgePolling::markLogsSeen()
{
    const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    m_preferences->setValue(StateKeys::serverPreference(QStringLiteral("logSeen"), m_client->settings().id), now);
    setStatusBadge(0);
}

double BadgePolling::logSeenMarker() const
{
    bool ok = false;
    const QString key = StateKeys::serverPreference(QStringLiteral("logSeen"), m_client->settings().id);
    const double marker = m_preferences->value(key).toDouble(&ok);
    return ok ? marker : 0.0;
}

// Marks go to the server of the session they were made in: a switch stops the remaining chunks.
QCoro::Task<> BadgePolling::markReviewed(QStringList ids, bool reviewed)
{
    if (ids.isEmpty())
        co_return;
    ++m_unseenGeneration;
    const auto session = m_session;
    for (qsizetype from = 0; from < ids.size(); from += MarkChunkSize) {
        if (session->isStopped())
            co_return;
        // A failed chunk is left for the next marking; the others still go out.
        const QStringList chunk = ids.mid(from, MarkChunkSize);
        co_await FrigateApi::markReviewedChunk(*m_client, chunk, reviewed);
    }
    if (session->isStopped())
        co_return;
    bumpReviewRevision();
    refetchUnseenAfterMarking(session);
}

QCoro::Task<> BadgePolling::refetchUnseenAfterMarking(std::shared_ptr<StopToken> session)
{
    PollingClock *clock = m_clock;
    co_await clock->sleep(std::chrono::milliseconds(UnseenRefetchDelay), session);
    if (session->isStopped())
        co_return;
    // The server caches summaries for a few seconds; this answer must include the marks.
    const bool bypassCache = true;
    co_await pollUnseenCount(bypassCache, session);
}

void BadgePolling::bumpReviewRevision()
{
    ++m_reviewRevision;
    emit reviewRevisionChanged();
}

void BadgePolling::setStats(std::optional<StatsSnapshot> stats)
{
    if (m_stats == stats)
        return;
    m_stats = std::move(stats);
    emit statsChanged();
}

void BadgePolling::setUnseenCount(int count)
{
    if (m_unseenCount == count)
        return;
    m_unseenCount = count;
    emit unseenCountChanged();
}

void BadgePolling::setStatusBadge(int count)
{
    if (m_statusBadge == count)
        return;
    m_statusBadge = count;
    emit statusBadgeChanged();
}
