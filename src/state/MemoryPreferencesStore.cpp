#include "state/MemoryPreferencesStore.h"

#include <QMutexLocker>

QVariant MemoryPreferencesStore::value(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    return m_values.value(key);
}

bool MemoryPreferencesStore::contains(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    return m_values.contains(key);
}

Status MemoryPreferencesStore::setValue(const QString &key, const QVariant &value)
{
    // Like the file-backed store, which cannot hold an empty key.
    if (key.isEmpty())
        return std::nullopt;
    QMutexLocker locker(&m_mutex);
    m_values.insert(key, value);
    return std::nullopt;
}

Status MemoryPreferencesStore::remove(const QString &key)
{
    QMutexLocker locker(&m_mutex);
    m_values.remove(key);
    return std::nullopt;
}

QStringList MemoryPreferencesStore::keys() const
{
    QMutexLocker locker(&m_mutex);
    QStringList keys = m_values.keys();
    keys.sort();
    return keys;
}
