#pragma once
#include "client/LogPage.h"
#include "screens/LogListModel.h"

#include <QObject>
#include <QPointer>
#include <QCoro/QCoroTask>
#include <functional>
#include <optional>

// One server log as the status screen reads it: the last PageLines lines first, then pages of
// earlier lines on request and the lines written since at each refresh, all into a
// LogListModel. Pages are asked for by absolute line number, so a line is neither repeated
// nor skipped while the log grows. A log that got shorter, or whose last loaded line now
// carries another time, was rotated (or the server restarted): the tail is loaded afresh.
class LogFeed : public QObject
{
    Q_OBJECT
public:
    static constexpr int PageLines = 400;

    // Python slice bounds: [start, end), no end reads to the end of the log.
    using PageFetcher = std::function<QCoro::Task<Result<LogPage>>(QString service, qint64 start,
                                                                   std::optional<qint64> end)>;

    explicit LogFeed(QObject *parent = nullptr);

    LogListModel *model() const { return m_model; }
    void setFetcher(PageFetcher fetcher) { m_fetch = std::move(fetcher); }
    QString service() const { return m_service; }
    bool loadingEarlier() const { return m_loadingEarlier; }
    // The first line of the log is loaded (or nothing is).
    bool reachedStart() const { return m_first <= 0; }
    qint64 totalLines() const { return m_total; }

    // Replaces the lines with the tail of `service`; a failure leaves no lines. Answers whether
    // the tail arrived (a load superseded by another answers false).
    QCoro::Task<bool> loadTail(QString service);
    QCoro::Task<> loadEarlier();
    QCoro::Task<> refreshTail();
    // Drops the lines; answers of requests still running are ignored.
    void clear();

signals:
    void stateChanged();
    // Lines came in at the end with a refresh.
    void linesAppended();

private:
    void takeTail(const LogPage &page);
    void takeNewLines(const LogPage &page);
    bool wasRotated(const LogPage &page) const;
    bool changedLastLine(const LogLine &line) const;

    LogListModel *m_model;
    PageFetcher m_fetch;
    QString m_service;
    qint64 m_first = 0; // absolute number of the first loaded line
    qint64 m_end = 0;   // one past the last loaded line
    qint64 m_total = 0;
    // Raised by every tail load and clear: answers to older requests are dropped.
    quint64 m_generation = 0;
    bool m_loadingEarlier = false;
    bool m_refreshing = false;
};
