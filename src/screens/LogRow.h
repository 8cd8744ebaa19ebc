#pragma once
#include <QColor>
#include <QHash>
#include <QString>
#include <optional>

// One row of the status screen's lists: an event, a log line, the server or a camera. `key`
// identifies the row across reloads (review id, camera name) and is not shown.
struct LogRow
{
    QString key;
    QString icon;
    QColor iconColor;
    QString title;
    QString subtitle;
    QString time;
    std::optional<QString> trailing;
    bool multiline = false;

    bool operator==(const LogRow &) const = default;
};

// The roles every status list answers, so one QML delegate shows them all.
namespace LogRowRoles {
enum Role { Icon = Qt::UserRole, IconColor, Title, Subtitle, Time, Trailing, Multiline };
QHash<int, QByteArray> names();
} // namespace LogRowRoles

// The row as one line of plain text, for the clipboard.
QString logRowText(const QString &time, const QString &title, const QString &subtitle, const QString &trailing);
