#pragma once

// What the journal charts draw, taken from the journals' tables as the operator sees them, so a
// chart always agrees with its table.

#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QStringList>

#include <array>
#include <optional>

namespace ordan {

inline constexpr int kJournalTariffs = 3;

// "1 тариф", "2 тариф", "3 тариф": the legend of both charts.
const QStringList &JournalTariffNames();

// The annual journal as bars: a group per month, one bar per tariff; a month the table shows
// no value for stands at 0.
struct AnnualChartData {
    QStringList months; // the table's month column, "07 янв." once read
    std::array<QList<double>, kJournalTariffs> energy;
};
AnnualChartData AnnualChart(const AnnualGrid &grid, const QLocale &locale = QLocale());

// One record of the consumption journal on the time axis.
struct ConsumptionChartPoint {
    QDateTime time;
    std::array<double, kJournalTariffs> energy{};
};

// Where a row of the list stands; nothing for a row without a time, which breaks the lines.
// The records carry no year: a stamp is placed in the year of `now`, or in the year before
// when it would lie in the future (December's records read in January).
std::optional<ConsumptionChartPoint> ConsumptionChartPointOf(const ConsumptionRow &row, const QDateTime &now,
                                                             const QLocale &locale = QLocale());

// Whether a line runs on from `previous` (the point of the row before, if it had one) to
// `next`: not across a row without time, and not back in time, where the journal wrapped.
bool ContinuesLine(const std::optional<ConsumptionChartPoint> &previous, const ConsumptionChartPoint &next);

// The consumption journal as lines: the points of the list in its order, cut into the
// pieces that are drawn joined.
using ConsumptionChartSegment = QList<ConsumptionChartPoint>;
QList<ConsumptionChartSegment> ConsumptionChartSegments(const QList<ConsumptionRow> &rows, const QDateTime &now,
                                                        const QLocale &locale = QLocale());

} // namespace ordan
