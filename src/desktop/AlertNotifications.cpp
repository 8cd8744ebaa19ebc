#include "desktop/AlertNotifications.h"

#include "client/Logging.h"
#include "desktop/AlertNoticeText.h"
#include "desktop/DesktopNotifications.h"
#include "screens/ImageDownload.h"
#include "screens/ReviewRows.h"
#include "state/AppModel.h"

#include <QGuiApplication>
#include <QPromise>
#include <QCoro/QCoroFuture>

namespace {
// A thumbnail slower than this is left out rather than holding the notification back.
constexpr double ThumbnailTimeout = 8.0; // seconds
} // namespace

AlertNotifications::AlertNotifications(AppModel *app, DesktopNotifications *desktop, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_desktop(desktop)
    , m_inForeground([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; })
{
    connect(app, &AppModel::unseenPolled, this, [this] { checkForNewAlerts(); });
    connect(app, &AppModel::isLoggedInChanged, this, &AlertNotifications::startSession);
    // Alerts that come while the setting is off are not told once it is on again.
    connect(app, &AppModel::notifyAlertsChanged, this, &AlertNotifications::startSession);
    connect(desktop, &DesktopNotifications::activated, this, &AlertNotifications::openNewest);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_policy.foregrounded();
    });
}

void AlertNotifications::startSession()
{
    ++m_generation;
    m_policy.reset();
    m_newestAnnounced.clear();
}

QCoro::Task<> AlertNotifications::checkForNewAlerts()
{
    if (m_checking || !m_app || !m_app->isLoggedIn() || !m_app->notifyAlerts())
        co_return;
    QPointer<AlertNotifications> self = this;
    const quint64 generation = m_generation;
    FrigateApi::ReviewQuery query;
    query.reviewed = false;
    query.alertsOnly = true;
    query.limit = AnswerLimit;
    m_checking = true;
    const auto answer = co_await m_app->fetchReviews(query);
    if (!self)
        co_return;
    m_checking = false;
    if (!m_app || generation != m_generation || !answer)
        co_return;
    const auto notice = m_policy.observe(answer.value(), m_inForeground());
    if (!notice) {
        emit checked();
        co_return;
    }
    const ReviewItem newest = notice->alerts.constFirst();
    const AlertNoticeText text = alertNoticeText(*notice, m_app->cameras());
    const QImage image = co_await thumbnail(newest);
    if (!self || !m_app || generation != m_generation)
        co_return;
    qCDebug(lcDesktop) << notice->fresh << "new alerts," << notice->alerts.size() << "announced";
    m_newestAnnounced = newest.id;
    m_desktop->show({text.title, text.body, image});
    emit checked();
}

QCoro::Task<QImage> AlertNotifications::thumbnail(ReviewItem item)
{
    const ReviewThumbnail thumb = reviewThumbnail(item);
    QueryItems query;
    for (const QStringList &pair : thumb.query)
        query.append({pair.value(0), pair.value(1)});
    FrigateClient *client = m_app->client();
    // It finishes within its timeout, whatever the server does, and deletes itself then.
    auto *download = new ImageDownload(client, client->makeURL(thumb.path, query), ThumbnailTimeout);
    // Awaited through a future: the download deletes itself right after its signal, which would
    // drop an awaiter attached to the signal before it resumed.
    auto promise = std::make_shared<QPromise<QImage>>();
    promise->start();
    QFuture<QImage> image = promise->future();
    connect(download, &ImageDownload::finished, download, [promise](const QImage &result) {
        promise->addResult(result);
        promise->finish();
    });
    co_return co_await image;
}

void AlertNotifications::openNewest()
{
    if (!m_app)
        return;
    if (m_newestAnnounced.isEmpty())
        m_app->requestRaise();
    else
        m_app->requestAlertOpen(m_newestAnnounced);
}
