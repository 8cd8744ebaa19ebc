// What the screens load through the model: logs, reviews and their marks, tracked objects.
#include "state/AppModel.h"

namespace {
constexpr int MarkAllPageSize = 500;
constexpr int MarkAllMaxPages = 20;
} // namespace

QCoro::Task<QList<LogLine>> AppModel::fetchLogs(QString service, int tail)
{
    return FrigateApi::fetchLogs(*m_client, std::move(service), tail);
}

QCoro::Task<Result<QList<ReviewItem>>> AppModel::fetchReviews(FrigateApi::ReviewQuery query)
{
    return FrigateApi::fetchReviews(*m_client, std::move(query));
}

QCoro::Task<QList<TrackedObject>> AppModel::fetchTrackedObjects(ReviewItem item)
{
    return FrigateApi::fetchTrackedObjects(*m_client, std::move(item), cameras());
}

QCoro::Task<> AppModel::markAllReviewed()
{
    const auto life = m_life;
    QStringList ids;
    FrigateApi::ReviewQuery unseen;
    unseen.reviewed = false;
    unseen.limit = MarkAllPageSize;
    FrigateApi::ReviewPager pager = FrigateApi::reviewPager(*m_client, unseen);
    for (int page = 0; page < MarkAllMaxPages && !pager.finished(); ++page) {
        const FrigateApi::ReviewQuery query = pager.query();
        const auto items = co_await fetchReviews(query);
        if (life->isStopped())
            co_return;
        if (!items)
            break;
        for (const ReviewItem &item : pager.take(items.value()))
            ids.append(item.id);
    }
    const bool reviewed = true;
    co_await markReviewed(ids, reviewed);
}
