#pragma once
#include "client/FrigateError.h"
#include "client/ReviewPager.h"
#include "playback/PlaybackItem.h"
#include "screens/ReviewListModel.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <optional>

class AppModel;

// The alerts tab: the server's review items newest first, paged further back as the list
// scrolls, filtered by a search text, played in the side pane (wide window) or the full-screen
// player (narrow). `rows` holds the visible items only; every loaded item stays here.
//
// A newer load supersedes an older one: answers of a superseded load are dropped. A silent
// reload (review state changed elsewhere) walks as many pages as were loaded, so rows further
// down keep their place and a mark shows as an edit of its row.
class AlertsViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("state/AppModel.h")

    Q_PROPERTY(AppModel *appModel READ appModel WRITE setAppModel NOTIFY appModelChanged)
    Q_PROPERTY(ReviewListModel *rows READ rows CONSTANT)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadStateChanged)
    Q_PROPERTY(bool loadingMore READ loadingMore NOTIFY loadStateChanged)
    Q_PROPERTY(bool reachedEnd READ reachedEnd NOTIFY loadStateChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY loadStateChanged)
    // Loaded items, before the search filters them.
    Q_PROPERTY(bool hasItems READ hasItems NOTIFY loadStateChanged)
    Q_PROPERTY(bool showDetections READ showDetections WRITE setShowDetections NOTIFY showDetectionsChanged)
    // The list and the pane side by side; openItem then plays in the pane.
    Q_PROPERTY(bool wide READ wide WRITE setWide NOTIFY wideChanged)
    // The PlayerRequest shown in the pane, undefined when the pane shows its placeholder.
    Q_PROPERTY(QVariant paneRequest READ paneRequestValue NOTIFY paneChanged)
    Q_PROPERTY(bool hasPane READ hasPane NOTIFY paneChanged)
    // Id of the review playing in the pane; empty when none.
    Q_PROPERTY(QString currentID READ currentID NOTIFY currentIDChanged)

public:
    static constexpr int PageSize = 100;

    explicit AlertsViewModel(QObject *parent = nullptr);

    AppModel *appModel() const { return m_app; }
    void setAppModel(AppModel *model);
    ReviewListModel *rows() const { return m_rows; }
    QString search() const { return m_search; }
    void setSearch(const QString &text);
    bool loading() const { return m_loading; }
    bool loadingMore() const { return m_loadingMore; }
    bool reachedEnd() const { return m_reachedEnd; }
    QString errorText() const { return m_errorText; }
    bool hasItems() const { return !m_items.isEmpty(); }
    bool showDetections() const;
    // Stores the preference, refreshes the unseen count, then reloads with the spinner.
    void setShowDetections(bool on);
    bool wide() const { return m_wide; }
    void setWide(bool wide);
    const std::optional<PlayerRequest> &paneRequest() const { return m_pane; }
    bool hasPane() const { return m_pane.has_value(); }
    QString currentID() const { return m_currentID; }
    const QList<ReviewItem> &loadedItems() const { return m_items; }

    // First appearance: loads with the spinner unless items are loaded already.
    Q_INVOKABLE void appear();
    Q_INVOKABLE void reload(bool silent);
    Q_INVOKABLE void loadMore();
    // A row came into view: the last visible one pages further back.
    Q_INVOKABLE void rowShown(int row);
    // Plays the visible items from `row` on: in the pane when wide, else full screen.
    Q_INVOKABLE void openItem(int row);
    // Plays the review `id` as a click on its row would, clearing a search that hides it; one not
    // loaded yet is looked for in a fresh load of the list.
    Q_INVOKABLE void openReview(const QString &id);
    Q_INVOKABLE void closePane();
    // The pane's player moved to item `index` of its request.
    Q_INVOKABLE void reportPaneIndex(int index);
    // Runs after the user confirmed; the list follows the review revision that the marks raise.
    Q_INVOKABLE void markAll();
    Q_INVOKABLE void refreshTimes() { m_rows->refreshTimes(); }

signals:
    void appModelChanged();
    void searchChanged();
    void loadStateChanged();
    void showDetectionsChanged();
    void wideChanged();
    void paneChanged();
    void currentIDChanged();
    // A PlayerRequest for the full-screen player (narrow layout).
    void fullScreenRequested(const QVariant &request);

protected:
    // Where pages come from; tests answer them by hand.
    virtual QCoro::Task<Result<QList<ReviewItem>>> fetchPage(FrigateApi::ReviewQuery query);
    // How the server walks back through its list (its `before` differs between versions).
    virtual FrigateApi::ReviewPager makePager(FrigateApi::ReviewQuery first) const;

private:
    QCoro::Task<> runReload(bool silent);
    QCoro::Task<> runLoadMore();
    QCoro::Task<> runShowDetectionsChange();
    void finishReload(QList<ReviewItem> items, FrigateApi::ReviewPager pager);
    void failReload(const FrigateError &error);
    QList<ReviewItem> visibleItems() const;
    void showVisibleItems();
    QList<CameraInfo> cameras() const;
    QVariant paneRequestValue() const;
    void setCurrentID(const QString &id);
    bool openWaitingReview();

    QPointer<AppModel> m_app;
    ReviewListModel *m_rows;
    QList<ReviewItem> m_items;
    std::optional<FrigateApi::ReviewPager> m_pager;
    // Raised when a reload starts and when it ends; a load that finds it changed after its
    // request drops the answer.
    quint64 m_generation = 0;
    QString m_search;
    bool m_loading = false;
    bool m_loadingMore = false;
    bool m_reachedEnd = false;
    QString m_errorText;
    bool m_wide = false;
    std::optional<PlayerRequest> m_pane;
    QString m_currentID;
    QString m_reviewToOpen;
};
