#pragma once

#include "schedule/tariff_schedule.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace ordan {

// Both lists hold at most this many entries: one meter slot each.
inline constexpr qsizetype kMaxListEntries = 16;

// "январь" .. "декабрь".
const QStringList &MonthNames();
// Empty for a month outside 1..12.
QString MonthName(int month);

// The largest day the holiday editor offers for the month; February allows 29, since a
// holiday repeats every year.
int HolidayDayLimit(int month);
bool IsValidHoliday(const HolidayEntry &h);

// Transfer dates travel as two BCD digits of the year past 2000.
inline constexpr int kFirstTransferYear = 2000;
inline constexpr int kLastTransferYear = 2099;
bool IsValidTransfer(const TransferEntry &t);

// Where the operator's new holiday goes: sorted by month and day, just before an equal one.
qsizetype HolidayInsertPosition(const QList<HolidayEntry> &list, const HolidayEntry &entry);
// Where the operator's new transfer goes: sorted by date, just after entries of the same date.
qsizetype TransferInsertPosition(const QList<TransferEntry> &list, QDate date);

// Both refuse (false) a full list.
bool InsertHoliday(QList<HolidayEntry> &list, const HolidayEntry &entry);
bool InsertTransfer(QList<TransferEntry> &list, const TransferEntry &entry);

// Removes the entries at the given rows; rows out of range or repeated are ignored.
template <typename T> void RemoveRows(QList<T> &list, QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int r : rows)
        if (r >= 0 && r < list.size())
            list.removeAt(r);
}

// A transfer date before today becomes today.
inline QDate TransferDateFloor(QDate chosen, QDate today) { return chosen < today ? today : chosen; }

// The texts of the list rows.
QString HolidayDayText(const HolidayEntry &h);
QString TransferDateText(const TransferEntry &t); // the locale's short date format

} // namespace ordan
