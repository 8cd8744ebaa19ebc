#include "desktop/NewAlertPolicy.h"

#include <algorithm>

namespace {
QList<ReviewItem> unseenAlerts(const QList<ReviewItem> &answer)
{
    QList<ReviewItem> alerts;
    for (const ReviewItem &item : answer) {
        if (item.severity == QLatin1String("alert") && !item.has_been_reviewed)
            alerts.append(item);
    }
    std::stable_sort(alerts.begin(), alerts.end(),
                     [](const ReviewItem &a, const ReviewItem &b) { return a.start_time > b.start_time; });
    return alerts;
}
} // namespace

NewAlertPolicy::NewAlertPolicy(int answerLimit)
    : m_limit(answerLimit)
{ }

void NewAlertPolicy::reset()
{
    *this = NewAlertPolicy(m_limit);
}

std::optional<AlertNotice> NewAlertPolicy::observe(const QList<ReviewItem> &answer, bool inForeground)
{
    const QList<ReviewItem> unseen = unseenAlerts(answer);
    if (!m_primed) {
        m_primed = true;
        absorb(unseen, answer.size());
        return std::nullopt;
    }
    const QList<ReviewItem> fresh = newAlerts(unseen);
    keepPendingStillUnseen(unseen, answer.size());
    absorb(unseen, answer.size());
    if (inForeground) {
        m_pending.clear();
        return std::nullopt;
    }
    if (fresh.isEmpty())
        return std::nullopt;
    m_pending = fresh + m_pending;
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const ReviewItem &a, const ReviewItem &b) { return a.start_time > b.start_time; });
    return AlertNotice{m_pending, int(fresh.size())};
}

QList<ReviewItem> NewAlertPolicy::newAlerts(const QList<ReviewItem> &unseen) const
{
    QList<ReviewItem> fresh;
    for (const ReviewItem &item : unseen) {
        if (!m_known.contains(item.id) && item.start_time > m_floor)
            fresh.append(item);
    }
    return fresh;
}

void NewAlertPolicy::absorb(const QList<ReviewItem> &unseen, qsizetype answerSize)
{
    for (const ReviewItem &item : unseen)
        m_known.insert(item.id);
    if (unseen.isEmpty())
        return;
    m_floor = std::max(m_floor, unseen.first().start_time - RecentSlack);
    if (answerSize >= m_limit)
        m_floor = std::max(m_floor, unseen.last().start_time);
}

// An announced alert missing from the answer was seen (here or elsewhere), unless a full answer
// left it out for being older than everything it holds.
void NewAlertPolicy::keepPendingStillUnseen(const QList<ReviewItem> &unseen, qsizetype answerSize)
{
    const bool full = answerSize >= m_limit;
    const double oldest = unseen.isEmpty() ? 0 : unseen.last().start_time;
    const auto gone = [&](const ReviewItem &item) {
        const bool listed = std::any_of(unseen.begin(), unseen.end(),
                                        [&](const ReviewItem &other) { return other.id == item.id; });
        return !listed && !(full && item.start_time < oldest);
    };
    m_pending.removeIf(gone);
}
