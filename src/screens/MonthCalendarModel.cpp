#include "screens/MonthCalendarModel.h"

#include <QLocale>
#include <algorithm>

namespace {
const QString DayKeyPattern = QStringLiteral("yyyy-MM-dd");
}

MonthCalendarModel::MonthCalendarModel(QObject *parent, std::function<QDate()> today)
    : QAbstractListModel(parent)
    , m_today(std::move(today))
{
    const QLocale locale;
    m_firstWeekday = locale.firstDayOfWeek();
    for (int offset = 0; offset < 7; ++offset) {
        const int day = (int(m_firstWeekday) - 1 + offset) % 7 + 1;
        m_weekdayNames.append(locale.standaloneDayName(day, QLocale::ShortFormat));
    }
    m_selected = this->today();
    showMonth(firstOfMonth(m_selected));
}

int MonthCalendarModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows * 7;
}

QVariant MonthCalendarModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QDate date = cellDate(index.row());
    switch (role) {
    case DayKeyRole:
        return date.toString(DayKeyPattern);
    case DayNumberRole:
        return date.day();
    case InMonthRole:
        return date.month() == m_month.month() && date.year() == m_month.year();
    case MarkedRole:
        return m_marked.contains(date.toString(DayKeyPattern));
    case SelectedRole:
        return date == m_selected;
    case FutureRole:
        return date > today();
    case TodayRole:
        return date == today();
    }
    return {};
}

QHash<int, QByteArray> MonthCalendarModel::roleNames() const
{
    return {{DayKeyRole, "dayKey"},     {DayNumberRole, "dayNumber"}, {InMonthRole, "inMonth"}, {MarkedRole, "marked"},
            {SelectedRole, "selected"}, {FutureRole, "isFuture"},     {TodayRole, "isToday"}};
}

QString MonthCalendarModel::title() const
{
    const QLocale locale;
    return locale.standaloneMonthName(m_month.month()) + QLatin1Char(' ') + QString::number(m_month.year());
}

int MonthCalendarModel::selectedCell() const
{
    const qint64 cell = m_firstCell.daysTo(m_selected);
    return cell >= 0 && cell < rowCount() ? int(cell) : -1;
}

void MonthCalendarModel::setMarked(const QSet<QString> &dayKeys)
{
    if (dayKeys == m_marked)
        return;
    m_marked = dayKeys;
    cellsChanged(MarkedRole);
}

bool MonthCalendarModel::selectDate(QDate date)
{
    if (!date.isValid() || date > today())
        return false;
    showMonth(firstOfMonth(date));
    if (date == m_selected)
        return true;
    m_selected = date;
    cellsChanged(SelectedRole);
    emit selectedChanged();
    emit selectedCellChanged();
    return true;
}

void MonthCalendarModel::showNextMonth()
{
    if (canShowNextMonth())
        showMonth(m_month.addMonths(1));
}

void MonthCalendarModel::moveSelection(int days)
{
    selectDate(std::min(m_selected.addDays(days), today()));
}

void MonthCalendarModel::moveSelectionMonths(int months)
{
    selectDate(std::min(m_selected.addMonths(months), today()));
}

void MonthCalendarModel::showMonth(QDate month)
{
    if (month == m_month)
        return;
    beginResetModel();
    m_month = month;
    const int leading = (month.dayOfWeek() - int(m_firstWeekday) + 7) % 7;
    m_firstCell = month.addDays(-leading);
    m_rows = (leading + month.daysInMonth() + 6) / 7;
    endResetModel();
    emit monthChanged();
    emit selectedCellChanged();
}

void MonthCalendarModel::cellsChanged(int role)
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {role});
}
