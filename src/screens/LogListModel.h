#pragma once
#include "client/WireRecords.h"
#include "state/RecordListModel.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The lines of a server log as rows of the status screen (LogRowRoles), oldest first, with a
// filter over every loaded line. A log paged back holds tens of thousands of lines, so lines are
// kept packed: message texts as UTF-8 in one buffer, their lower-cased copies (what the filter
// searches) in another, sources interned. The rows shown are an index list into the lines, so
// a filter keystroke is one pass over the lower-cased buffer and one reset.
//
// Pages come in at either end: lines before the first one are inserted at row 0 and lines
// after the last one at the end, without a reset, so a view keeps its delegates.
class LogListModel : public CountedListModel
{
    Q_OBJECT
    QML_ANONYMOUS
public:
    using CountedListModel::CountedListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Replaces every line (a reset).
    void setLines(const QList<LogLine> &lines);
    // Lines older than the first loaded one, oldest first.
    void prependLines(const QList<LogLine> &lines);
    // Lines newer than the last loaded one, oldest first.
    void appendLines(const QList<LogLine> &lines);
    // The last loaded line read again: the server may have merged more text into it.
    void replaceLastLine(const LogLine &line);

    // `lowered` is the filter as typed, lower-cased; empty keeps every line.
    void setFilter(const QString &lowered);
    QString filter() const { return m_filter; }

    qsizetype loadedLines() const { return m_lines.size(); }
    // Absolute numbers of the first and last loaded lines; -1 when none.
    qint64 firstLineId() const { return m_lines.isEmpty() ? -1 : m_lines.first().id; }
    qint64 lastLineId() const { return m_lines.isEmpty() ? -1 : m_lines.last().id; }
    // The loaded line at `index` (0 = oldest) as the parser gave it, minus its raw time text
    // when it has a date. For checks and the clipboard.
    LogLine lineAt(qsizetype index) const;
    // Shown row `row` as one line of text.
    QString rowText(int row) const;
    // Bytes held for the lines: buffers, line records, the row index and the source table.
    qint64 memoryBytes() const;

private:
    struct PackedLine
    {
        qint64 id = 0;
        qint64 msecs = 0; // time of the line; NoDate when it has none
        quint32 textAt = 0; // in m_text: the time text (lines without a date only), then the message
        quint32 textLength = 0;
        quint32 lowerAt = 0; // in m_lower: the lower-cased message
        quint32 lowerLength = 0;
        quint32 source = 0;
        quint8 level = 0;
        quint8 timeLength = 0;
    };
    static constexpr qint64 NoDate = std::numeric_limits<qint64>::min();

    QList<PackedLine> pack(const QList<LogLine> &lines);
    quint32 sourceIndex(const QString &source);
    bool matches(const PackedLine &line, const QByteArray &needle, const QList<bool> &sourceHits) const;
    QList<int> matchingRows(const QList<PackedLine> &lines, int offset) const;
    QList<bool> sourceHits() const;
    QString message(const PackedLine &line) const;
    QString timeText(const PackedLine &line) const;

    QList<PackedLine> m_lines;
    QList<int> m_rows; // shown lines, as indexes into m_lines
    QByteArray m_text;
    QByteArray m_lower;
    QList<QString> m_sources;
    QList<QString> m_sourcesLower;
    QHash<QString, quint32> m_sourceIndex;
    QString m_filter;
    QByteArray m_needle; // m_filter in UTF-8
};
