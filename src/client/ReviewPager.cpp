#include "client/ReviewPager.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace FrigateApi {
namespace {
double nextUp(double value)
{
    return std::nextafter(value, std::numeric_limits<double>::infinity());
}
} // namespace

ReviewPager::ReviewPager(ReviewQuery first, ReviewPaging paging)
    : m_query(std::move(first))
    , m_paging(paging)
    , m_pageSize(std::max(m_query.limit, 1))
{
    m_query.limit = m_pageSize;
}

QList<ReviewItem> ReviewPager::take(const QList<ReviewItem> &answer)
{
    if (m_finished)
        return {};
    QList<ReviewItem> fresh;
    for (const ReviewItem &item : answer) {
        if (!m_seen.contains(item.id)) {
            m_seen.insert(item.id);
            fresh.append(item);
        }
    }
    // A short answer is the end of the list; one with nothing new would repeat forever.
    m_finished = answer.size() < m_query.limit || fresh.isEmpty();
    if (m_finished)
        return fresh;
    if (m_paging == ReviewPaging::ByGrowingLimit) {
        const qint64 grown = qint64(m_seen.size()) + m_pageSize;
        m_query.limit = int(std::min<qint64>(grown, std::numeric_limits<int>::max()));
        return fresh;
    }
    // The next page starts just above the last start, so items sharing it that did not fit come
    // too; the page grows by those already met so that it still brings a page of new ones.
    const auto byStart = [](const ReviewItem &a, const ReviewItem &b) { return a.start_time < b.start_time; };
    const double lastStart = std::min_element(answer.begin(), answer.end(), byStart)->start_time;
    const auto atLastStart = [lastStart](const ReviewItem &item) { return item.start_time == lastStart; };
    const bool sameBound = m_query.before == nextUp(lastStart);
    const QList<ReviewItem> &counted = sameBound ? fresh : answer;
    m_tied = (sameBound ? m_tied : 0) + std::count_if(counted.begin(), counted.end(), atLastStart);
    m_query.before = nextUp(lastStart);
    m_query.limit = int(std::min<qint64>(m_pageSize + m_tied, std::numeric_limits<int>::max()));
    return fresh;
}

} // namespace FrigateApi
