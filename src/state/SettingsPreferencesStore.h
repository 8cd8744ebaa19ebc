#pragma once
#include "client/PreferencesStore.h"

#include <QMutex>
#include <QString>
#include <optional>

// Preferences in an INI file. Every access opens the file through its own QSettings under one
// lock, so calls from any thread see each other's writes and never share a QSettings object.
// Values come back with the type they were written with (INI alone would turn numbers, flags
// and one-item lists into texts). A write replaces the whole file at once, with a file renamed
// over it; one that fails answers why and leaves the file as it was.
class SettingsPreferencesStore final : public PreferencesStore
{
public:
    // The application's configuration folder + "/Kestrova.ini".
    SettingsPreferencesStore();
    explicit SettingsPreferencesStore(QString filePath);

    QString filePath() const { return m_filePath; }

    QVariant value(const QString &key) const override;
    bool contains(const QString &key) const override;
    Status setValue(const QString &key, const QVariant &value) override;
    Status remove(const QString &key) override;
    QStringList keys() const override;

    static QString defaultFilePath();

private:
    // Sets the stored (escaped) key to `value`, or removes it for nothing.
    Status write(const QString &storedKey, const std::optional<QVariant> &value);

    QString m_filePath;
    mutable QMutex m_mutex;
};
