#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace ordan {

// Texts of the journal columns, as the operator reads them on the page and in the export.

// An energy count of the meter (units of 0.00025 kWh) with five decimals and the locale's
// decimal separator, no group separators, rounded to 12 significant digits, so a value of
// more than seven whole digits ends in zeros. Worked in integers: the count times 25 is the
// value in units of 0.00001 exactly, and the rounding is half away from zero.
QString JournalEnergyText(quint64 count, const QLocale &locale = QLocale());

// Operating time in half-minutes as hours ":" minutes, no leading zeros: 245 gives "2:2".
QString JournalOperatingTimeText(quint32 halfMinutes);

// The separator between hours and minutes in the locale's short time format.
QString JournalTimeSeparator(const QLocale &locale = QLocale());

// A consumption record's stamp "dd.mm hh<sep>nn" from its BCD bytes, placed in `year`
// because the record carries none; empty when the time or the date does not exist.
QString JournalRecordTimeText(quint8 minuteBcd, quint8 hourBcd, quint8 dayBcd, quint8 monthBcd, int year,
                              const QLocale &locale = QLocale());

// "янв.", "фев.", ... "дек.": month index 0..11.
const QStringList &JournalMonthAbbreviations();

} // namespace ordan
