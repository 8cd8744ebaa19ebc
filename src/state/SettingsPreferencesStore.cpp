#include "state/SettingsPreferencesStore.h"

#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QVariantHash>

namespace {

// QSettings reads "/" as a group separator and folds repeated ones, so the keys reach it with
// "/" percent-encoded; "%" is encoded too, which makes the decoding exact.
QString escapedKey(const QString &key)
{
    QString escaped = key;
    escaped.replace(u'%', QLatin1String("%25"));
    escaped.replace(u'/', QLatin1String("%2F"));
    return escaped;
}

QString unescapedKey(const QString &stored)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(stored.toUtf8()));
}

// INI keeps texts and byte arrays as they are but writes numbers, flags and lists as plain
// text; everything else travels inside a one-entry hash, which QSettings serialises whole.
const QString typedWrapper = QStringLiteral("Kestrova.typed");

bool keepsItsType(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::QString || type == QMetaType::QByteArray;
}

QVariant wrapped(const QVariant &value)
{
    if (keepsItsType(value))
        return value;
    return QVariantHash{{typedWrapper, value}};
}

QVariant unwrapped(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QVariantHash)
        return stored;
    const QVariantHash hash = stored.toHash();
    if (hash.size() != 1 || !hash.contains(typedWrapper))
        return stored;
    return hash.value(typedWrapper);
}

} // namespace

SettingsPreferencesStore::SettingsPreferencesStore()
    : SettingsPreferencesStore(defaultFilePath())
{
}

SettingsPreferencesStore::SettingsPreferencesStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString SettingsPreferencesStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/Kestrova.ini");
}

QVariant SettingsPreferencesStore::value(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    return unwrapped(settings.value(escapedKey(key)));
}

bool SettingsPreferencesStore::contains(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    return settings.contains(escapedKey(key));
}

void SettingsPreferencesStore::setValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return;
    QMutexLocker locker(&m_mutex);
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(escapedKey(key), wrapped(value));
    settings.sync();
}

void SettingsPreferencesStore::remove(const QString &key)
{
    // QSettings reads an empty key as "every key".
    if (key.isEmpty())
        return;
    QMutexLocker locker(&m_mutex);
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.remove(escapedKey(key));
    settings.sync();
}

QStringList SettingsPreferencesStore::keys() const
{
    QMutexLocker locker(&m_mutex);
    const QSettings settings(m_filePath, QSettings::IniFormat);
    QStringList keys;
    for (const QString &stored : settings.allKeys())
        keys.append(unescapedKey(stored));
    return keys;
}
