#include "screens/LogFeed.h"

LogFeed::LogFeed(QObject *parent)
    : QObject(parent)
    , m_model(new LogListModel(this))
{ }

void LogFeed::clear()
{
    ++m_generation;
    m_first = m_end = m_total = 0;
    m_loadingEarlier = false;
    m_refreshing = false;
    m_model->setLines({});
    emit stateChanged();
}

QCoro::Task<bool> LogFeed::loadTail(QString service)
{
    if (service != m_service) {
        m_service = service;
        clear();
    }
    const quint64 generation = ++m_generation;
    const QPointer<LogFeed> self(this);
    const Result<LogPage> page = co_await m_fetch(service, -qint64(PageLines), std::nullopt);
    if (!self || generation != m_generation)
        co_return false;
    m_loadingEarlier = false;
    m_refreshing = false;
    takeTail(page ? page.value() : LogPage{});
    co_return true;
}

void LogFeed::takeTail(const LogPage &page)
{
    m_first = page.first;
    m_end = page.end();
    m_total = page.totalLines;
    m_model->setLines(page.lines);
    emit stateChanged();
}

QCoro::Task<> LogFeed::loadEarlier()
{
    if (m_loadingEarlier || reachedStart() || m_service.isEmpty())
        co_return;
    const quint64 generation = m_generation;
    m_loadingEarlier = true;
    emit stateChanged();
    const qint64 start = std::max<qint64>(m_first - PageLines, 0);
    const QPointer<LogFeed> self(this);
    const Result<LogPage> page = co_await m_fetch(m_service, start, m_first);
    if (!self || generation != m_generation)
        co_return;
    m_loadingEarlier = false;
    // A failed page stays silent: reaching the top again asks again.
    if (!page) {
        emit stateChanged();
        co_return;
    }
    if (wasRotated(page.value())) {
        co_await loadTail(m_service);
        co_return;
    }
    m_first = page.value().first;
    m_total = page.value().totalLines;
    m_model->prependLines(page.value().lines);
    emit stateChanged();
}

// The last loaded line is asked for again: 0.14/0.15 merge later lines of the same instant into
// it and 0.16 counts repeats in it, and its time tells a rotated log apart.
QCoro::Task<> LogFeed::refreshTail()
{
    if (m_refreshing || m_service.isEmpty())
        co_return;
    const quint64 generation = m_generation;
    m_refreshing = true;
    const qint64 start = std::max<qint64>(m_end - 1, 0);
    const QPointer<LogFeed> self(this);
    const Result<LogPage> page = co_await m_fetch(m_service, start, std::nullopt);
    if (!self || generation != m_generation)
        co_return;
    m_refreshing = false;
    if (!page)
        co_return;
    if (wasRotated(page.value())) {
        co_await loadTail(m_service);
        co_return;
    }
    takeNewLines(page.value());
}

bool LogFeed::wasRotated(const LogPage &page) const
{
    if (page.totalLines < m_end)
        return true;
    if (m_model->loadedLines() == 0 || page.lines.isEmpty() || page.lines.first().id != m_model->lastLineId())
        return false;
    const LogLine known = m_model->lineAt(m_model->loadedLines() - 1);
    const LogLine &again = page.lines.first();
    return again.date != known.date || again.source != known.source;
}

bool LogFeed::changedLastLine(const LogLine &line) const
{
    const LogLine known = m_model->lineAt(m_model->loadedLines() - 1);
    return line.message != known.message || line.level != known.level;
}

void LogFeed::takeNewLines(const LogPage &page)
{
    QList<LogLine> fresh;
    for (const LogLine &line : page.lines) {
        if (line.id >= m_end)
            fresh.append(line);
        else if (line.id == m_model->lastLineId() && changedLastLine(line))
            m_model->replaceLastLine(line);
    }
    m_end = std::max(m_end, page.end());
    m_total = page.totalLines;
    m_model->appendLines(fresh);
    if (!fresh.isEmpty())
        emit linesAppended();
    emit stateChanged();
}
