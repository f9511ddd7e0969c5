#include "schedule/holidays.h"

#include <QLocale>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

QList<HolidayEntry> DefaultHolidays()
{
    return {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {7, 1}, {23, 2}, {8, 3}, {1, 5}, {9, 5}, {12, 6}, {4, 11}};
}

const QStringList &MonthNames()
{
    static const QStringList names{u"январь"_s, u"февраль"_s, u"март"_s,     u"апрель"_s,  u"май"_s,    u"июнь"_s,
                                   u"июль"_s,   u"август"_s,  u"сентябрь"_s, u"октябрь"_s, u"ноябрь"_s, u"декабрь"_s};
    return names;
}

QString MonthName(int month)
{
    if (month < 1 || month > 12)
        return {};
    return MonthNames().at(month - 1);
}

int HolidayDayLimit(int month)
{
    switch (month) {
    case 2: return 29;
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    default: return 31;
    }
}

bool IsValidHoliday(const HolidayEntry &h)
{
    return h.month >= 1 && h.month <= 12 && h.day >= 1 && h.day <= HolidayDayLimit(h.month);
}

bool IsValidTransfer(const TransferEntry &t)
{
    return t.date.isValid() && t.date.year() >= kFirstTransferYear && t.date.year() <= kLastTransferYear &&
           t.dayType >= 1 && t.dayType <= kDayTypeCount;
}

qsizetype HolidayInsertPosition(const QList<HolidayEntry> &list, const HolidayEntry &entry)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        const HolidayEntry &e = list[i];
        if (e.month < entry.month)
            continue;
        if (e.month > entry.month || e.day >= entry.day)
            return i;
    }
    return list.size();
}

qsizetype TransferInsertPosition(const QList<TransferEntry> &list, QDate date)
{
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i].date > date)
            return i;
    return list.size();
}

bool InsertHoliday(QList<HolidayEntry> &list, const HolidayEntry &entry)
{
    if (list.size() >= kMaxListEntries)
        return false;
    list.insert(HolidayInsertPosition(list, entry), entry);
    return true;
}

bool InsertTransfer(QList<TransferEntry> &list, const TransferEntry &entry)
{
    if (list.size() >= kMaxListEntries)
        return false;
    list.insert(TransferInsertPosition(list, entry.date), entry);
    return true;
}

QString HolidayDayText(const HolidayEntry &h) { return QLocale().toString(h.day); }

QString TransferDateText(const TransferEntry &t) { return QLocale().toString(t.date, QLocale::ShortFormat); }

} // namespace ordan
