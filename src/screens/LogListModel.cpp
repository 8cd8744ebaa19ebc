#include "screens/LogListModel.h"

#include "client/TextFormats.h"
#include "screens/LogRow.h"
#include "screens/StatusRows.h"

#include <QDateTime>
#include <numeric>
#include <string_view>

namespace {

std::string_view viewOf(const QByteArray &buffer, quint32 at, quint32 length)
{
    return std::string_view(buffer.constData() + at, length);
}

// Grows `buffer` to hold exactly `more` further bytes: doubling would leave up to half of a
// multi-megabyte buffer unused.
void reserveExactly(QByteArray &buffer, qsizetype more)
{
    buffer.reserve(buffer.size() + more);
}

} // namespace

int LogListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QHash<int, QByteArray> LogListModel::roleNames() const
{
    return LogRowRoles::names();
}

QVariant LogListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PackedLine &line = m_lines.at(m_rows.at(index.row()));
    const auto level = LogLine::Level(line.level);
    switch (role) {
    case LogRowRoles::Icon:
        return logLevelIcon(level);
    case LogRowRoles::IconColor:
        return logLevelColor(level);
    case LogRowRoles::Title:
        return m_sources.at(line.source);
    case LogRowRoles::Subtitle:
        return message(line);
    case LogRowRoles::Time:
        return timeText(line);
    case LogRowRoles::Trailing:
        return QString();
    case LogRowRoles::Multiline:
        return true;
    default:
        return {};
    }
}

QString LogListModel::message(const PackedLine &line) const
{
    return QString::fromUtf8(m_text.constData() + line.textAt + line.timeLength, line.textLength - line.timeLength);
}

QString LogListModel::timeText(const PackedLine &line) const
{
    if (line.msecs != NoDate)
        return mediumDateTimeFormat(QDateTime::fromMSecsSinceEpoch(line.msecs));
    return QString::fromUtf8(m_text.constData() + line.textAt, line.timeLength);
}

quint32 LogListModel::sourceIndex(const QString &source)
{
    const auto found = m_sourceIndex.constFind(source);
    if (found != m_sourceIndex.constEnd())
        return found.value();
    const auto index = quint32(m_sources.size());
    m_sources.append(source);
    m_sourcesLower.append(source.toLower());
    m_sourceIndex.insert(source, index);
    return index;
}

QList<LogListModel::PackedLine> LogListModel::pack(const QList<LogLine> &lines)
{
    // The raw time text is kept only where it is all there is to show. 63 characters are at most
    // 252 bytes of UTF-8, so its length fits the line's one-byte field whatever the server sent.
    QList<QByteArray> texts;
    QList<quint8> timeLengths;
    QList<QByteArray> lowered;
    texts.reserve(lines.size());
    timeLengths.reserve(lines.size());
    lowered.reserve(lines.size());
    qsizetype textBytes = 0;
    qsizetype lowerBytes = 0;
    for (const LogLine &line : lines) {
        const QByteArray time = line.date ? QByteArray() : line.timeText.left(63).toUtf8();
        timeLengths.append(quint8(time.size()));
        texts.append(time + line.message.toUtf8());
        lowered.append(line.message.toLower().toUtf8());
        textBytes += texts.last().size();
        lowerBytes += lowered.last().size();
    }
    reserveExactly(m_text, textBytes);
    reserveExactly(m_lower, lowerBytes);
    QList<PackedLine> packed;
    packed.reserve(lines.size());
    for (qsizetype at = 0; at < lines.size(); ++at) {
        const LogLine &line = lines.at(at);
        PackedLine entry;
        entry.id = line.id;
        entry.msecs = line.date ? line.date->toMSecsSinceEpoch() : NoDate;
        entry.textAt = quint32(m_text.size());
        entry.textLength = quint32(texts.at(at).size());
        entry.timeLength = timeLengths.at(at);
        entry.lowerAt = quint32(m_lower.size());
        entry.lowerLength = quint32(lowered.at(at).size());
        entry.source = sourceIndex(line.source);
        entry.level = quint8(line.level);
        m_text.append(texts.at(at));
        m_lower.append(lowered.at(at));
        packed.append(entry);
    }
    return packed;
}

QList<bool> LogListModel::sourceHits() const
{
    QList<bool> hits;
    hits.reserve(m_sourcesLower.size());
    for (const QString &source : m_sourcesLower)
        hits.append(source.contains(m_filter));
    return hits;
}

bool LogListModel::matches(const PackedLine &line, const QByteArray &needle, const QList<bool> &sourceHits) const
{
    return sourceHits.at(line.source)
        || viewOf(m_lower, line.lowerAt, line.lowerLength).find(std::string_view(needle.constData(), needle.size()))
               != std::string_view::npos;
}

// Rows of `lines` that the filter keeps, as indexes offset by `offset`.
QList<int> LogListModel::matchingRows(const QList<PackedLine> &lines, int offset) const
{
    QList<int> rows;
    if (m_filter.isEmpty()) {
        rows.resize(lines.size());
        std::iota(rows.begin(), rows.end(), offset);
        return rows;
    }
    const QList<bool> hits = sourceHits();
    for (qsizetype at = 0; at < lines.size(); ++at) {
        if (matches(lines.at(at), m_needle, hits))
            rows.append(offset + int(at));
    }
    return rows;
}

void LogListModel::setLines(const QList<LogLine> &lines)
{
    const int before = rowCount();
    beginResetModel();
    m_lines.clear();
    m_text.clear();
    m_lower.clear();
    m_sources.clear();
    m_sourcesLower.clear();
    m_sourceIndex.clear();
    m_lines = pack(lines);
    m_rows = matchingRows(m_lines, 0);
    endResetModel();
    if (rowCount() != before)
        emit countChanged();
}

void LogListModel::prependLines(const QList<LogLine> &lines)
{
    if (lines.isEmpty())
        return;
    const QList<PackedLine> packed = pack(lines);
    const QList<int> added = matchingRows(packed, 0);
    const auto shift = int(packed.size());
    QList<PackedLine> merged;
    merged.reserve(packed.size() + m_lines.size());
    merged << packed << m_lines;
    QList<int> rows;
    rows.reserve(added.size() + m_rows.size());
    rows << added;
    for (int row : std::as_const(m_rows))
        rows.append(row + shift);
    if (!added.isEmpty())
        beginInsertRows({}, 0, int(added.size()) - 1);
    m_lines = std::move(merged);
    m_rows = std::move(rows);
    if (!added.isEmpty()) {
        endInsertRows();
        emit countChanged();
    }
}

void LogListModel::appendLines(const QList<LogLine> &lines)
{
    if (lines.isEmpty())
        return;
    const QList<PackedLine> packed = pack(lines);
    const QList<int> added = matchingRows(packed, int(m_lines.size()));
    m_lines.reserve(m_lines.size() + packed.size());
    m_lines << packed;
    if (added.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + added.size()) - 1);
    m_rows.reserve(m_rows.size() + added.size());
    m_rows << added;
    endInsertRows();
    emit countChanged();
}

void LogListModel::replaceLastLine(const LogLine &line)
{
    if (m_lines.isEmpty() || m_lines.last().id != line.id)
        return;
    // The old text stays in the buffers unused: this happens to one line per refresh at most.
    m_lines.last() = pack({line}).first();
    const int index = int(m_lines.size()) - 1;
    const bool shown = !m_rows.isEmpty() && m_rows.last() == index;
    const bool kept = !matchingRows({m_lines.last()}, index).isEmpty();
    if (shown && kept) {
        emit dataChanged(this->index(int(m_rows.size()) - 1), this->index(int(m_rows.size()) - 1));
    } else if (shown) {
        beginRemoveRows({}, int(m_rows.size()) - 1, int(m_rows.size()) - 1);
        m_rows.removeLast();
        endRemoveRows();
        emit countChanged();
    } else if (kept) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
        m_rows.append(index);
        endInsertRows();
        emit countChanged();
    }
}

void LogListModel::setFilter(const QString &lowered)
{
    if (lowered == m_filter)
        return;
    const int before = rowCount();
    beginResetModel();
    m_filter = lowered;
    m_needle = lowered.toUtf8();
    m_rows = matchingRows(m_lines, 0);
    endResetModel();
    if (rowCount() != before)
        emit countChanged();
}

LogLine LogListModel::lineAt(qsizetype index) const
{
    const PackedLine &packed = m_lines.at(index);
    LogLine line;
    line.id = packed.id;
    if (packed.msecs != NoDate)
        line.date = QDateTime::fromMSecsSinceEpoch(packed.msecs);
    else
        line.timeText = QString::fromUtf8(m_text.constData() + packed.textAt, packed.timeLength);
    line.source = m_sources.at(packed.source);
    line.level = LogLine::Level(packed.level);
    line.message = message(packed);
    return line;
}

QString LogListModel::rowText(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const PackedLine &line = m_lines.at(m_rows.at(row));
    return logRowText(timeText(line), m_sources.at(line.source), message(line), {});
}

qint64 LogListModel::memoryBytes() const
{
    qint64 bytes = m_text.capacity() + m_lower.capacity();
    bytes += m_lines.capacity() * qint64(sizeof(PackedLine)) + m_rows.capacity() * qint64(sizeof(int));
    for (const QString &source : m_sources)
        bytes += 2 * (source.capacity() * 2 + 32); // both spellings, with their headers
    return bytes;
}
