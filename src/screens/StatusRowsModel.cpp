#include "screens/StatusRowsModel.h"

#include <QStringList>

QHash<int, QByteArray> LogRowRoles::names()
{
    return {{Icon, "icon"},         {IconColor, "iconColor"}, {Title, "title"},        {Subtitle, "subtitle"},
            {Time, "time"},         {Trailing, "trailing"},   {Multiline, "multiline"}};
}

QString logRowText(const QString &time, const QString &title, const QString &subtitle, const QString &trailing)
{
    QStringList parts;
    for (const QString &part : {time, title, subtitle, trailing}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.join(QStringLiteral("  "));
}

QString StatusRowsModel::rowText(int row) const
{
    if (row < 0 || row >= records().size())
        return {};
    const LogRow &shown = records().at(row);
    return logRowText(shown.time, shown.title, shown.subtitle, shown.trailing.value_or(QString()));
}

QVariant StatusRowsModel::roleValue(const LogRow &row, int role) const
{
    switch (role) {
    case LogRowRoles::Icon:
        return row.icon;
    case LogRowRoles::IconColor:
        return row.iconColor;
    case LogRowRoles::Title:
        return row.title;
    case LogRowRoles::Subtitle:
        return row.subtitle;
    case LogRowRoles::Time:
        return row.time;
    case LogRowRoles::Trailing:
        return row.trailing.value_or(QString());
    case LogRowRoles::Multiline:
        return row.multiline;
    default:
        return {};
    }
}
