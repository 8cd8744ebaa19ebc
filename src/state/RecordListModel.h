#pragma once
#include <QAbstractListModel>
#include <QHash>
#include <QSet>

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
    QStringList keysOf(const QList<Record> &records) const
    {
        QStringList keys;
        for (const Record &record : records)
            keys.append(keyOf(record));
        return keys;
    }

    bool hasDuplicateKeys(const QList<Record> &records) const
    {
        const QStringList keys = keysOf(records);
        return QSet<QString>(keys.begin(), keys.end()).size() != keys.size();
    }

    void removeRowsMissingFrom(const QList<Record> &next)
    {
        const QStringList nextKeys = keysOf(next);
        for (qsizetype row = m_records.size() - 1; row >= 0; --row) {
            if (nextKeys.contains(keyOf(m_records.at(row))))
                continue;
            beginRemoveRows({}, int(row), int(row));
            m_records.removeAt(row);
            endRemoveRows();
        }
    }

    // The kept rows take the order they have in `next`, as one layout change.
    void reorderLike(const QList<Record> &next)
    {
        const QStringList keys = keysOf(m_records);
        QList<Record> ordered;
        for (const Record &record : next) {
            const qsizetype row = keys.indexOf(keyOf(record));
            if (row >= 0)
                ordered.append(m_records.at(row));
        }
        if (keysOf(ordered) == keys)
            return;
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QStringList orderedKeys = keysOf(ordered);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        for (const QModelIndex &index : from)
            to.append(createIndex(int(orderedKeys.indexOf(keys.at(index.row()))), index.column()));
        m_records = ordered;
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // The kept rows already stand in their new order: every other key of `next` is new.
    void insertRowsNewIn(const QList<Record> &next)
    {
        for (qsizetype row = 0; row < next.size(); ++row) {
            if (row < m_records.size() && keyOf(m_records.at(row)) == keyOf(next.at(row)))
                continue;
            beginInsertRows({}, int(row), int(row));
            m_records.insert(row, next.at(row));
            endInsertRows();
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
