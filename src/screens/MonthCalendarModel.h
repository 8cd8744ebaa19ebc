#pragma once
#include <QAbstractListModel>
#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <functional>

// The month grid of a camera's history: whole weeks from the locale's first weekday, so the
// tail of the previous and the head of the next month fill the first and last rows. Days come
// from calendar arithmetic (QDate), never from counting 86,400 s.
// The month never moves past the current one and days after today cannot be selected: nothing
// is recorded there yet.
// Roles: dayKey ("yyyy-MM-dd"), dayNumber, inMonth, marked, selected, isFuture, isToday.
class MonthCalendarModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(QString title READ title NOTIFY monthChanged)
    Q_PROPERTY(QStringList weekdayNames READ weekdayNames CONSTANT)
    Q_PROPERTY(bool canShowNextMonth READ canShowNextMonth NOTIFY monthChanged)
    Q_PROPERTY(int rows READ rows NOTIFY monthChanged)
    Q_PROPERTY(int selectedCell READ selectedCell NOTIFY selectedCellChanged)

public:
    enum Role {
        DayKeyRole = Qt::UserRole,
        DayNumberRole,
        InMonthRole,
        MarkedRole,
        SelectedRole,
        FutureRole,
        TodayRole
    };

    // The locale's first weekday and names are read once; `today` defaults to the local date.
    explicit MonthCalendarModel(QObject *parent = nullptr, std::function<QDate()> today = {});

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QDate month() const { return m_month; } // the first day of the month shown
    QDate selected() const { return m_selected; }
    QDate cellDate(int cell) const { return m_firstCell.addDays(cell); }
    QString title() const;
    QStringList weekdayNames() const { return m_weekdayNames; }
    bool canShowNextMonth() const { return m_month < firstOfMonth(today()); }
    int rows() const { return m_rows; }
    int selectedCell() const;

    void setMarked(const QSet<QString> &dayKeys);
    // Selects a day up to today and shows its month; false (nothing changes) for a later day.
    bool selectDate(QDate date);

    Q_INVOKABLE void showPreviousMonth() { showMonth(m_month.addMonths(-1)); }
    Q_INVOKABLE void showNextMonth();
    Q_INVOKABLE bool selectCell(int cell) { return selectDate(cellDate(cell)); }
    // Keyboard moves: days (±1 a day, ±7 a week) and months, kept to today at the latest.
    Q_INVOKABLE void moveSelection(int days);
    Q_INVOKABLE void moveSelectionMonths(int months);

signals:
    void monthChanged();
    void selectedChanged(); // another day
    void selectedCellChanged();

private:
    static QDate firstOfMonth(QDate date) { return QDate(date.year(), date.month(), 1); }
    QDate today() const { return m_today ? m_today() : QDate::currentDate(); }
    void showMonth(QDate month);
    void cellsChanged(int role);

    std::function<QDate()> m_today;
    Qt::DayOfWeek m_firstWeekday;
    QStringList m_weekdayNames;
    QDate m_month;
    QDate m_firstCell;
    int m_rows = 0;
    QDate m_selected;
    QSet<QString> m_marked;
};
