#pragma once
#include "client/WireRecords.h"

#include <QSet>
#include <QStringList>
#include <optional>

namespace FrigateApi {

struct ReviewQuery
{
    std::optional<QStringList> cameras;
    std::optional<double> after;
    std::optional<double> before;
    // False: unseen items only; true or absent: seen and unseen.
    std::optional<bool> reviewed;
    // Alerts only, whether or not the user has detections shown.
    bool alertsOnly = false;
    int limit = 50;
};

// How a server's `before` bound can walk back through its review list.
enum class ReviewPaging {
    // 0.16+: `before` bounds the start time, so the next page starts below the last start.
    ByStartTime,
    // 0.14/0.15: `before` bounds the end time and in-progress items always match, so a lower
    // bound would skip items overlapping the page's last start. The window stays and grows by
    // a page each time instead.
    ByGrowingLimit,
};

// Walks a review list page by page; each page's new items only, never one twice.
class ReviewPager
{
public:
    ReviewPager(ReviewQuery first, ReviewPaging paging);

    const ReviewQuery &query() const { return m_query; }
    bool finished() const { return m_finished; }
    // The items of the answer to query() not met before, in the answer's order; moves on.
    QList<ReviewItem> take(const QList<ReviewItem> &answer);

private:
    ReviewQuery m_query;
    ReviewPaging m_paging;
    int m_pageSize;
    QSet<QString> m_seen;
    qint64 m_tied = 0; // items met that start at the page bound

    bool m_finished = false;
};

} // namespace FrigateApi
