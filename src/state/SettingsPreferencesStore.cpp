#include "state/SettingsPreferencesStore.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QVariantHash>
#include <QVariantMap>
#include <cstdio>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

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

QVariantMap storedValues(const QString &filePath)
{
    const QSettings settings(filePath, QSettings::IniFormat);
    QVariantMap values;
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// Whether the file holds exactly `expected`, read from disk and flushed to it.
bool writtenWhole(const QString &filePath, const QVariantMap &expected)
{
    const QString copy = filePath + QStringLiteral(".check");
    QFile::remove(copy);
    const bool copied = QFile::copy(filePath, copy);
    const bool same = copied && storedValues(copy) == expected && QFileInfo(copy).size() == QFileInfo(filePath).size();
    QFile::remove(copy);
    QFile file(filePath);
    return same && file.open(QIODevice::ReadOnly) && ::fsync(file.handle()) == 0;
}

qint64 serialisedSize(const QVariant &value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes.size();
}

// QSettings tells only that the file could not be written. Writing as much beside it, to a file
// unlinked at once, gets the system's own words for why: a full disk, a file size limit, a
// folder that cannot be written.
QString failureReason(const QString &filePath, qint64 bytes)
{
    QByteArray probeName = QFile::encodeName(filePath + QStringLiteral(".probe-XXXXXX"));
    const int fd = ::mkstemp(probeName.data());
    if (fd < 0)
        return qt_error_string(errno);
    ::unlink(probeName.constData());
    const QByteArray block(64 * 1024, ' ');
    int error = 0;
    for (qint64 left = bytes; left > 0 && error == 0;) {
        const ssize_t written = ::write(fd, block.constData(), size_t(std::min<qint64>(left, block.size())));
        if (written >= 0)
            left -= written;
        else if (errno != EINTR)
            error = errno;
    }
    ::close(fd);
    if (error != 0)
        return qt_error_string(error);
    return QCoreApplication::translate("SettingsPreferencesStore", "%1 could not be replaced")
        .arg(QDir::toNativeSeparators(filePath));
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

Status SettingsPreferencesStore::setValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return std::nullopt;
    return write(escapedKey(key), wrapped(value));
}

Status SettingsPreferencesStore::remove(const QString &key)
{
    // QSettings reads an empty key as "every key".
    if (key.isEmpty())
        return std::nullopt;
    return write(escapedKey(key), std::nullopt);
}

// QSettings (Qt 6.4) replaces the file through QSaveFile, but a write that fails half-way (a
// full disk, a file size limit) still commits: the old file is replaced by a truncated one and
// status() says nothing. So the new content is written beside the file, read back whole from
// a copy (QSettings answers a file it wrote from its cache), and only then renamed over it.
Status SettingsPreferencesStore::write(const QString &storedKey, const std::optional<QVariant> &value)
{
    QMutexLocker locker(&m_mutex);
    QVariantMap expected = storedValues(m_filePath);
    if (value)
        expected.insert(storedKey, *value);
    else
        expected.remove(storedKey);
    const QString scratch = m_filePath + QStringLiteral(".new");
    QFile::remove(scratch);
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    {
        QSettings settings(scratch, QSettings::IniFormat);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
    }
    if (writtenWhole(scratch, expected) && ::rename(QFile::encodeName(scratch).constData(),
                                                    QFile::encodeName(m_filePath).constData()) == 0)
        return std::nullopt;
    QFile::remove(scratch);
    const qint64 needed = QFileInfo(m_filePath).size() + storedKey.size() + serialisedSize(value.value_or(QVariant()));
    return FrigateError::localFile(failureReason(m_filePath, needed));
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
