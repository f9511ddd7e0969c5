#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace ordan {

// The locale's long time format without the time zone: the operator reads the meter's clock,
// which has no zone.
QString LongTimeFormat(const QLocale &locale = QLocale());
// Short date, a blank, long time: how the page shows a date and time.
QString ShortDateLongTime(QDate date, QTime time, const QLocale &locale = QLocale());
QString ShortDateText(QDate date, const QLocale &locale = QLocale());
QString LongTimeText(QTime time, const QLocale &locale = QLocale());

// A number in fixed-point form with `digits` decimals after rounding to `precision`
// significant digits; in exponent form when the whole part has more than `precision` digits.
// No group separators; the locale's decimal separator.
QString FixedPointText(double value, int precision, int digits, const QLocale &locale = QLocale());

} // namespace ordan
