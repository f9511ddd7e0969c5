#include "journals/journal_chart_data.h"

#include "journals/journal_export.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kTimeColumn = 2;
constexpr int kFirstEnergyColumn = 3;

std::optional<int> TwoDigits(QStringView text)
{
    if (text.size() != 2 || !text[0].isDigit() || !text[1].isDigit())
        return std::nullopt;
    return text[0].digitValue() * 10 + text[1].digitValue();
}

// "dd.mm hh<separator>nn" as the list shows it; the separator is the locale's.
std::optional<QDateTime> StampIn(QStringView text, int year)
{
    if (text.size() < 11 || text[2] != u'.' || text[5] != u' ')
        return std::nullopt;
    const auto day = TwoDigits(text.sliced(0, 2));
    const auto month = TwoDigits(text.sliced(3, 2));
    const auto hour = TwoDigits(text.sliced(6, 2));
    const auto minute = TwoDigits(text.last(2));
    if (!day || !month || !hour || !minute)
        return std::nullopt;
    const QDate date(year, *month, *day);
    const QTime time(*hour, *minute);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

} // namespace

const QStringList &JournalTariffNames()
{
    static const QStringList names{u"1 тариф"_s, u"2 тариф"_s, u"3 тариф"_s};
    return names;
}

AnnualChartData AnnualChart(const AnnualGrid &grid, const QLocale &locale)
{
    AnnualChartData data;
    for (int m = 1; m < kAnnualRows; ++m) {
        const auto &row = grid[static_cast<size_t>(m)];
        data.months.append(row[0]);
        for (int t = 0; t < kJournalTariffs; ++t)
            data.energy[static_cast<size_t>(t)].append(
                ExportCellNumber(row[static_cast<size_t>(t + 1)], locale).value_or(0.0));
    }
    return data;
}

std::optional<ConsumptionChartPoint> ConsumptionChartPointOf(const ConsumptionRow &row, const QDateTime &now,
                                                             const QLocale &locale)
{
    const QString &text = row[kTimeColumn];
    auto time = StampIn(text, now.date().year());
    if (time && *time > now)
        time = StampIn(text, now.date().year() - 1);
    if (!time)
        return std::nullopt;
    ConsumptionChartPoint point;
    point.time = *time;
    for (int t = 0; t < kJournalTariffs; ++t) {
        const auto energy = ExportCellNumber(row[static_cast<size_t>(kFirstEnergyColumn + t)], locale);
        if (!energy)
            return std::nullopt;
        point.energy[static_cast<size_t>(t)] = *energy;
    }
    return point;
}

bool ContinuesLine(const std::optional<ConsumptionChartPoint> &previous, const ConsumptionChartPoint &next)
{
    return previous && previous->time <= next.time;
}

QList<ConsumptionChartSegment> ConsumptionChartSegments(const QList<ConsumptionRow> &rows, const QDateTime &now,
                                                        const QLocale &locale)
{
    QList<ConsumptionChartSegment> segments;
    std::optional<ConsumptionChartPoint> previous;
    for (const ConsumptionRow &row : rows) {
        const auto point = ConsumptionChartPointOf(row, now, locale);
        if (point) {
            if (!ContinuesLine(previous, *point))
                segments.append(ConsumptionChartSegment{});
            segments.last().append(*point);
        }
        previous = point;
    }
    return segments;
}

} // namespace ordan
