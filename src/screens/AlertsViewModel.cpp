#include "screens/AlertsViewModel.h"

#include "client/FrigateApi.h"
#include "client/TextFormats.h"
#include "screens/ReviewRows.h"
#include "state/AppModel.h"

#include <QDateTime>
#include <algorithm>

AlertsViewModel::AlertsViewModel(QObject *parent)
    : QObject(parent)
    , m_rows(new ReviewListModel(this))
{ }

void AlertsViewModel::setAppModel(AppModel *model)
{
    if (model == m_app)
        return;
    if (m_app)
        disconnect(m_app, nullptr, this, nullptr);
    m_app = model;
    if (m_app) {
        // Marks (here, in the player or elsewhere) raise the revision; new alerts move the badge.
        connect(m_app, &AppModel::reviewRevisionChanged, this, [this] { reload(true); });
        connect(m_app, &AppModel::unseenCountChanged, this, [this] { reload(true); });
        connect(m_app, &AppModel::settingsChanged, this, &AlertsViewModel::showDetectionsChanged);
        connect(m_app, &AppModel::camerasChanged, this, [this] {
            m_rows->setCameras(cameras());
            showVisibleItems();
        });
        m_rows->setCameras(cameras());
    }
    emit appModelChanged();
    emit showDetectionsChanged();
}

void AlertsViewModel::setSearch(const QString &text)
{
    if (text == m_search)
        return;
    m_search = text;
    emit searchChanged();
    showVisibleItems();
}

bool AlertsViewModel::showDetections() const
{
    return m_app && m_app->settings().showDetections;
}

void AlertsViewModel::setShowDetections(bool on)
{
    if (!m_app || on == showDetections())
        return;
    ServerSettings updated = m_app->settings();
    updated.showDetections = on;
    m_app->setSettings(updated);
    runShowDetectionsChange();
}

QCoro::Task<> AlertsViewModel::runShowDetectionsChange()
{
    const QPointer<AlertsViewModel> self(this);
    const QPointer<AppModel> app = m_app;
    const bool bypassCache = false;
    co_await app->refreshUnseenCount(bypassCache);
    if (!self || !app)
        co_return;
    reload(false);
}

void AlertsViewModel::setWide(bool wide)
{
    if (wide == m_wide)
        return;
    m_wide = wide;
    emit wideChanged();
}

void AlertsViewModel::appear()
{
    if (m_items.isEmpty())
        reload(false);
}

void AlertsViewModel::reload(bool silent)
{
    runReload(silent);
}

void AlertsViewModel::loadMore()
{
    runLoadMore();
}

QCoro::Task<> AlertsViewModel::runReload(bool silent)
{
    if (!m_app)
        co_return;
    const quint64 generation = ++m_generation;
    // A page still coming belongs to the list being replaced.
    m_loadingMore = false;
    m_loading = m_loading || !silent;
    m_errorText.clear();
    emit loadStateChanged();

    const qsizetype depth = silent ? m_items.size() : 0;
    FrigateApi::ReviewQuery first;
    first.limit = PageSize;
    FrigateApi::ReviewPager pager = makePager(first);
    QList<ReviewItem> collected;
    const QPointer<AlertsViewModel> self(this);
    do {
        const FrigateApi::ReviewQuery query = pager.query();
        const Result<QList<ReviewItem>> page = co_await fetchPage(query);
        if (!self || generation != m_generation)
            co_return;
        if (!page && collected.isEmpty()) {
            failReload(page.error());
            co_return;
        }
        // A later page that failed leaves the pager on it: the next loadMore asks again.
        if (!page)
            break;
        collected += pager.take(page.value());
    } while (!pager.finished() && collected.size() < depth);
    finishReload(std::move(collected), std::move(pager));
}

void AlertsViewModel::finishReload(QList<ReviewItem> items, FrigateApi::ReviewPager pager)
{
    // A page asked for while this reload ran continues the list being replaced: drop it.
    ++m_generation;
    m_loadingMore = false;
    m_items = std::move(items);
    m_reachedEnd = pager.finished();
    m_pager = std::move(pager);
    m_loading = false;
    showVisibleItems();
    emit loadStateChanged();
    // Looked for in the newest load only: a review that is not there any more is not waited for.
    openWaitingReview();
    m_reviewToOpen.clear();
}

void AlertsViewModel::failReload(const FrigateError &error)
{
    if (!error.isCancellation())
        m_errorText = error.message();
    m_loading = false;
    emit loadStateChanged();
}

QCoro::Task<> AlertsViewModel::runLoadMore()
{
    if (!m_app || !m_pager || m_loadingMore || m_reachedEnd || m_items.isEmpty())
        co_return;
    const quint64 generation = m_generation;
    m_loadingMore = true;
    emit loadStateChanged();
    const FrigateApi::ReviewQuery query = m_pager->query();
    const QPointer<AlertsViewModel> self(this);
    const Result<QList<ReviewItem>> page = co_await fetchPage(query);
    if (!self || generation != m_generation)
        co_return;
    m_loadingMore = false;
    // A failed page stays silent: the last row appearing again retries it.
    if (page) {
        m_items += m_pager->take(page.value());
        m_reachedEnd = m_pager->finished();
        showVisibleItems();
    }
    emit loadStateChanged();
}

void AlertsViewModel::rowShown(int row)
{
    if (row == m_rows->rowCount() - 1)
        loadMore();
}

QList<ReviewItem> AlertsViewModel::visibleItems() const
{
    const QString wanted = m_search.trimmed();
    if (wanted.isEmpty())
        return m_items;
    const QList<CameraInfo> known = cameras();
    QList<ReviewItem> visible;
    for (const ReviewItem &item : m_items) {
        if (displayCameraName(known, item.camera).contains(wanted, Qt::CaseInsensitive)
            || objectSummary(item).contains(wanted, Qt::CaseInsensitive))
            visible.append(item);
    }
    return visible;
}

void AlertsViewModel::showVisibleItems()
{
    m_rows->setRecords(visibleItems());
}

void AlertsViewModel::openItem(int row)
{
    const QList<ReviewItem> &visible = m_rows->records();
    if (row < 0 || row >= visible.size())
        return;
    const QList<CameraInfo> known = cameras();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    PlayerRequest request;
    for (const ReviewItem &item : visible)
        request.items.append(reviewPlaybackItem(item, displayCameraName(known, item.camera), now));
    request.index = row;
    if (!m_wide) {
        emit fullScreenRequested(QVariant::fromValue(request));
        return;
    }
    m_pane = std::move(request);
    emit paneChanged();
    setCurrentID(visible.at(row).id);
}

void AlertsViewModel::openReview(const QString &id)
{
    m_reviewToOpen = id;
    if (!openWaitingReview())
        reload(false);
}

bool AlertsViewModel::openWaitingReview()
{
    const auto wanted = [this](const ReviewItem &item) { return item.id == m_reviewToOpen; };
    if (m_reviewToOpen.isEmpty() || std::none_of(m_items.begin(), m_items.end(), wanted))
        return false;
    const QList<ReviewItem> visible = visibleItems();
    if (std::none_of(visible.begin(), visible.end(), wanted))
        setSearch({});
    const QList<ReviewItem> &rows = m_rows->records();
    const auto row = std::find_if(rows.begin(), rows.end(), wanted) - rows.begin();
    m_reviewToOpen.clear();
    openItem(int(row));
    return true;
}

void AlertsViewModel::closePane()
{
    if (!m_pane)
        return;
    m_pane.reset();
    emit paneChanged();
    setCurrentID({});
}

void AlertsViewModel::reportPaneIndex(int index)
{
    if (!m_pane || index < 0 || index >= m_pane->items.size())
        return;
    const std::optional<ReviewItem> &review = m_pane->items.at(index).review;
    setCurrentID(review ? review->id : QString());
}

void AlertsViewModel::setCurrentID(const QString &id)
{
    if (id == m_currentID)
        return;
    m_currentID = id;
    emit currentIDChanged();
}

void AlertsViewModel::markAll()
{
    if (m_app)
        m_app->markAllReviewed();
}

QCoro::Task<Result<QList<ReviewItem>>> AlertsViewModel::fetchPage(FrigateApi::ReviewQuery query)
{
    return m_app->fetchReviews(std::move(query));
}

FrigateApi::ReviewPager AlertsViewModel::makePager(FrigateApi::ReviewQuery first) const
{
    return FrigateApi::reviewPager(*m_app->client(), std::move(first));
}

QList<CameraInfo> AlertsViewModel::cameras() const
{
    return m_app ? m_app->cameras() : QList<CameraInfo>{};
}

QVariant AlertsViewModel::paneRequestValue() const
{
    return m_pane ? QVariant::fromValue(*m_pane) : QVariant();
}
