#pragma once
#include "client/FrigateError.h"
#include "client/WireRecords.h"

#include <QObject>
#include <QStringList>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

class FrigateClient;
class PollingClock;
class PreferencesStore;
class StopToken;

// What the model keeps fetching while signed in: statistics every 5 s, and every sixth pass the
// unseen review count and the log badge; also the marks that change the count. In the background
// (notifications on, every window minimised) only the unseen count, at the same 30 s cadence.
//
// Everything it publishes belongs to one session (begun at sign-in, ended by a disconnect or a
// server switch): an answer that arrives after its session ended is dropped.
class BadgePolling : public QObject
{
    Q_OBJECT
public:
    BadgePolling(PreferencesStore *preferences, FrigateClient *client, PollingClock *clock, QObject *parent = nullptr);
    ~BadgePolling() override;

    const std::optional<StatsSnapshot> &stats() const { return m_stats; }
    int unseenCount() const { return m_unseenCount; }
    int statusBadge() const { return m_statusBadge; }
    int reviewRevision() const { return m_reviewRevision; }
    bool isPolling() const { return m_pollStop != nullptr; }

    void beginSession();
    // Stops polling, drops answers still in flight and clears what was published.
    void endSession();

    void startPolling();
    // Replaces the polling loop with the background one.
    void startBackgroundPolling();
    void cancelPolling();
    QCoro::Task<> refreshStats();
    // bypassCache asks the server for a fresh summary instead of its few-seconds cache.
    QCoro::Task<> refreshUnseenCount(bool bypassCache = false);
    QCoro::Task<> refreshLogBadge();
    void markLogsSeen();
    QCoro::Task<> markReviewed(QStringList ids, bool reviewed);
    void bumpReviewRevision();

signals:
    // Each statistics request of the session, answered or failed (cancellations are not told).
    void statsAnswered();
    void statsFailed(const FrigateError &error);
    void statsChanged();
    void unseenCountChanged();
    void statusBadgeChanged();
    void reviewRevisionChanged();
    // A loop read the unseen count (whether or not the server answered).
    void unseenPolled();

private:
    QCoro::Task<> pollLoop(std::shared_ptr<StopToken> stop);
    QCoro::Task<> backgroundLoop(std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollStats(std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollUnseenCount(bool bypassCache, std::shared_ptr<StopToken> stop);
    QCoro::Task<> pollLogBadge(std::shared_ptr<StopToken> stop);
    QCoro::Task<> refetchUnseenAfterMarking(std::shared_ptr<StopToken> session);
    void setStats(std::optional<StatsSnapshot> stats);
    void setUnseenCount(int count);
    void setStatusBadge(int count);
    double logSeenMarker() const;

    PreferencesStore *m_preferences;
    FrigateClient *m_client;
    PollingClock *m_clock;
    // Stopped when the session ends; a fresh one is made for each sign-in.
    std::shared_ptr<StopToken> m_session;
    std::shared_ptr<StopToken> m_pollStop;
    std::optional<StatsSnapshot> m_stats;
    int m_unseenCount = 0;
    int m_statusBadge = 0;
    int m_reviewRevision = 0;
    qint64 m_tick = 0;
    qint64 m_unseenGeneration = 0;
};
