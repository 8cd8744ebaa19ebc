#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>

// Key/value preferences ("Kestrova.*", "trust.*"). Implementations must be safe to call from
// any thread: certificate pins are read where TLS errors are reported.
class PreferencesStore
{
public:
    virtual ~PreferencesStore() = default;
    virtual QVariant value(const QString &key) const = 0;
    virtual bool contains(const QString &key) const = 0;
    virtual void setValue(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;
    virtual QStringList keys() const = 0;
};
