#pragma once
#include <QAbstractListModel>
#include <QHash>

// The count every list reaches QML with, for bindings such as "no server yet".
class CountedListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    using QAbstractListModel::QAbstractListModel;
    int count() const { return rowCount(); }

signals:
    void countChanged();
};

// A list of records keyed by a text (a server id, a camera name). Replacing the list removes,
// moves and inserts rows one by one and reports edited rows with dataChanged, so views keep
// their delegates, scroll position and selection; only duplicate keys force a reset.
template<typename Record> class RecordListModel : public CountedListModel
{
public:
    using CountedListModel::CountedListModel;

    const QList<Record> &records() const { return m_records; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_records.size()); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        return roleValue(m_records.at(index.row()), role);
    }

    void setRecords(const QList<Record> &next)
    {
        const qsizetype before = m_records.size();
        if (hasDuplicateKeys(next) || hasDuplicateKeys(m_records)) {
            beginResetModel();
            m_records = next;
            endResetModel();
        } else {
            removeRowsMissingFrom(next);
            reorderLike(next);
            insertRowsNewIn(next);
            reportEditedRows(next);
        }
        if (m_records.size() != before)
            emit countChanged();
    }

protected:
    virtual QString keyOf(const Record &record) const = 0;
    virtual QVariant roleValue(const Record &record, int role) const = 0;

private:
    // Row of each key; lists of thousands of rows (review items) stay linear.
    QHash<QString, qsizetype> rowsByKey(const QList<Record> &records) const
    {
        QHash<QString, qsizetype> rows;
        rows.reserve(records.size());
        for (qsizetype row = 0; row < records.size(); ++row)
            rows.insert(keyOf(records.at(row)), row);
        return rows;
    }

    bool hasDuplicateKeys(const QList<Record> &records) const
    {
        return rowsByKey(records).size() != records.size();
    }

    // Removes runs of rows missing from `next`, last run first, one signal per run.
    void removeRowsMissingFrom(const QList<Record> &next)
    {
        const QHash<QString, qsizetype> nextRows = rowsByKey(next);
        qsizetype row = m_records.size() - 1;
        while (row >= 0) {
            if (nextRows.contains(keyOf(m_records.at(row)))) {
                --row;
                continue;
            }
            qsizetype first = row;
            while (first > 0 && !nextRows.contains(keyOf(m_records.at(first - 1))))
                --first;
            beginRemoveRows({}, int(first), int(row));
            m_records.remove(first, row - first + 1);
            endRemoveRows();
            row = first - 1;
        }
    }

    // The kept rows take the order they have in `next`, as one layout change.
    void reorderLike(const QList<Record> &next)
    {
        const QHash<QString, qsizetype> oldRows = rowsByKey(m_records);
        QList<Record> ordered;
        QList<qsizetype> newRowOfOld(m_records.size(), -1);
        bool moved = false;
        for (const Record &record : next) {
            const qsizetype row = oldRows.value(keyOf(record), -1);
            if (row < 0)
                continue;
            moved = moved || row != ordered.size();
            newRowOfOld[row] = ordered.size();
            ordered.append(m_records.at(row));
        }
        if (!moved)
            return;
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        for (const QModelIndex &index : from)
            to.append(createIndex(int(newRowOfOld.at(index.row())), index.column()));
        m_records = ordered;
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // The kept rows already stand in their new order: every other key of `next` is new. Runs of
    // new rows go in with one signal each, so a page appended at the end is one insert.
    void insertRowsNewIn(const QList<Record> &next)
    {
        qsizetype row = 0;
        while (row < next.size()) {
            if (row < m_records.size() && keyOf(m_records.at(row)) == keyOf(next.at(row))) {
                ++row;
                continue;
            }
            const QHash<QString, qsizetype> kept = rowsByKey(m_records);
            qsizetype end = row;
            while (end < next.size() && !kept.contains(keyOf(next.at(end))))
                ++end;
            beginInsertRows({}, int(row), int(end - 1));
            m_records.insert(row, end - row, Record{});
            for (qsizetype at = row; at < end; ++at)
                m_records[at] = next.at(at);
            endInsertRows();
            row = end;
        }
    }

    void reportEditedRows(const QList<Record> &next)
    {
        for (qsizetype row = 0; row < next.size(); ++row) {
            if (m_records.at(row) == next.at(row))
                continue;
            m_records[row] = next.at(row);
            emit dataChanged(index(int(row)), index(int(row)));
        }
    }

    QList<Record> m_records;
};

// Records that QML reads as the fields of one map per row: each role is a key of the map.
template<typename Record> class MapRecordListModel : public RecordListModel<Record>
{
public:
    MapRecordListModel(QList<QByteArray> roles, QObject *parent)
        : RecordListModel<Record>(parent)
        , m_roles(std::move(roles))
    { }

    QHash<int, QByteArray> roleNames() const override
    {
        QHash<int, QByteArray> names;
        for (qsizetype at = 0; at < m_roles.size(); ++at)
            names.insert(Qt::UserRole + int(at), m_roles.at(at));
        return names;
    }

protected:
    virtual QVariantMap valueOf(const Record &record) const = 0;

    QVariant roleValue(const Record &record, int role) const override
    {
        const qsizetype at = role - Qt::UserRole;
        if (at < 0 || at >= m_roles.size())
            return {};
        return valueOf(record).value(QString::fromLatin1(m_roles.at(at)));
    }

private:
    QList<QByteArray> m_roles;
};
