#pragma once

#include "meter/meter_parameters.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>

namespace ordan {

// An energy counter as shown: count x 0.00025 with exactly five decimals (which represent
// every count exactly), no group separators, the locale's decimal separator.
QString ReadingText(quint64 count, const QLocale &locale = QLocale());

// Code 15: the current counters always; the billing-day counters only when L is 32, blank
// (sum included) otherwise.
bool DecodeReadings(QByteArrayView reply, MeterParameters &p);

} // namespace ordan
