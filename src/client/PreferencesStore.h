#pragma once
#include "client/FrigateError.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// Key/value preferences ("Kestrova.*", "trust.*"). Implementations must be safe to call from
// any thread: certificate pins are read where TLS errors are reported. A write that did not reach
// the disk answers a LocalFile error, and the value read afterwards is still the earlier one.
class PreferencesStore
{
public:
    virtual ~PreferencesStore() = default;
    virtual QVariant value(const QString &key) const = 0;
    virtual bool contains(const QString &key) const = 0;
    virtual Status setValue(const QString &key, const QVariant &value) = 0;
    virtual Status remove(const QString &key) = 0;
    virtual QStringList keys() const = 0;
};
