#pragma once
#include "client/PreferencesStore.h"

#include <QHash>
#include <QMutex>

// Preferences held in memory only: for tests, and safe from any thread like the real store.
class MemoryPreferencesStore : public PreferencesStore
{
public:
    QVariant value(const QString &key) const override;
    bool contains(const QString &key) const override;
    Status setValue(const QString &key, const QVariant &value) override;
    Status remove(const QString &key) override;
    // Sorted, as the file-backed store lists them.
    QStringList keys() const override;

private:
    mutable QMutex m_mutex;
    QHash<QString, QVariant> m_values;
};
