// What the journal charts draw, from the journals' tables: bars per month and tariff, lines
// over the consumption records' times with gaps where a record has no time.
#include "core/bytes.h"
#include "journals/journal_chart_data.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

// A record's row as the list shows it; energies in counts of 0.00025 kWh.
ConsumptionRow Row(int page, quint8 day, quint8 month, quint8 hour, quint8 minute, quint64 t1, int year = 2026)
{
    ConsumptionJournalRecord r;
    r.page = static_cast<quint8>(page);
    r.record = static_cast<quint8>(page);
    r.day = BcdEncode(day);
    r.month = BcdEncode(month);
    r.hour = BcdEncode(hour);
    r.minute = BcdEncode(minute);
    r.energy = {t1, t1 * 2, t1 * 3};
    return ConsumptionRowTexts(r, year, kRussian);
}

TEST(JournalChartData, AnnualBarsFollowTheGridWithZeroForEmptyMonths)
{
    AnnualGrid grid = InitialAnnualGrid();
    grid[1] = {u"26 янв."_s, u"1,00000"_s, u"2,50000"_s, u"0,00025"_s, u"744:0"_s};
    grid[12] = {u"25 дек."_s, u"1073741,82400"_s, u"0,00000"_s, u"3,00000"_s, u"1:0"_s};
    const AnnualChartData data = AnnualChart(grid, kRussian);
    ASSERT_EQ(data.months.size(), 12);
    EXPECT_EQ(data.months[0], u"26 янв."_s);
    EXPECT_EQ(data.months[1], u"фев."_s);
    EXPECT_EQ(data.months[11], u"25 дек."_s);
    for (const auto &tariff : data.energy)
        ASSERT_EQ(tariff.size(), 12);
    EXPECT_DOUBLE_EQ(data.energy[0][0], 1.0);
    EXPECT_DOUBLE_EQ(data.energy[1][0], 2.5);
    EXPECT_DOUBLE_EQ(data.energy[2][0], 0.00025);
    EXPECT_DOUBLE_EQ(data.energy[0][11], 1073741.824);
    EXPECT_DOUBLE_EQ(data.energy[2][11], 3.0);
    for (int m = 1; m < 11; ++m)
        for (const auto &tariff : data.energy)
            EXPECT_EQ(tariff[m], 0.0) << m;
}

TEST(JournalChartData, ConsumptionPointsTakeTheTimeAndTheThreeEnergies)
{
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 15));
    struct Case {
        const char *what;
        ConsumptionRow row;
        std::optional<QDateTime> time;
    };
    ConsumptionJournalRecord badMonth;
    badMonth.month = 0x13;
    badMonth.day = 0x07;
    const Case cases[] = {
        {"a time this year", Row(0, 7, 3, 14, 5, 4000), QDateTime(QDate(2026, 3, 7), QTime(14, 5))},
        {"a time up to now", Row(0, 8, 12, 10, 15, 4000), QDateTime(QDate(2026, 12, 8), QTime(10, 15))},
        // Read in December, a stamp after now lies in the year before.
        {"after now", Row(0, 8, 12, 10, 16, 4000), QDateTime(QDate(2025, 12, 8), QTime(10, 16))},
        {"no time", ConsumptionRowTexts(badMonth, 2026, kRussian), std::nullopt},
    };
    for (const Case &c : cases) {
        const auto point = ConsumptionChartPointOf(c.row, now, kRussian);
        ASSERT_EQ(point.has_value(), c.time.has_value()) << c.what;
        if (!point)
            continue;
        EXPECT_EQ(point->time, *c.time) << c.what;
        EXPECT_DOUBLE_EQ(point->energy[0], 1.0) << c.what;
        EXPECT_DOUBLE_EQ(point->energy[1], 2.0) << c.what;
        EXPECT_DOUBLE_EQ(point->energy[2], 3.0) << c.what;
    }
    // December's records read in the first days of January belong to December before.
    const auto december =
        ConsumptionChartPointOf(Row(0, 31, 12, 23, 0, 4), QDateTime(QDate(2027, 1, 2), QTime(9, 0)), kRussian);
    ASSERT_TRUE(december);
    EXPECT_EQ(december->time, QDateTime(QDate(2026, 12, 31), QTime(23, 0)));
}

TEST(JournalChartData, ConsumptionLinesBreakWhereARecordHasNoTimeOrTimeGoesBack)
{
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 15));
    ConsumptionJournalRecord noTime;
    noTime.page = 2;
    noTime.day = 0x07;
    noTime.month = 0x13;
    noTime.energy = {400, 800, 1200};
    const QList<ConsumptionRow> rows = {
        Row(0, 7, 3, 14, 5, 4000), Row(1, 7, 3, 17, 5, 8000), ConsumptionRowTexts(noTime, 2026, kRussian), // gap
        Row(3, 8, 3, 2, 0, 12000), Row(4, 6, 3, 2, 0, 16000), // back in time: the journal wrapped
        Row(5, 6, 3, 5, 0, 20000), Row(6, 6, 3, 5, 0, 24000), // the same minute twice still joins
    };
    const auto segments = ConsumptionChartSegments(rows, now, kRussian);
    ASSERT_EQ(segments.size(), 3);
    std::vector<std::vector<double>> tariff1;
    for (const auto &segment : segments) {
        tariff1.emplace_back();
        for (const auto &p : segment)
            tariff1.back().push_back(p.energy[0]);
    }
    EXPECT_EQ(tariff1, (std::vector<std::vector<double>>{{1, 2}, {3}, {4, 5, 6}}));
    EXPECT_EQ(segments[0][1].time, QDateTime(QDate(2026, 3, 7), QTime(17, 5)));
    EXPECT_EQ(segments[2][0].time, QDateTime(QDate(2026, 3, 6), QTime(2, 0)));
    EXPECT_DOUBLE_EQ(segments[2][2].energy[2], 18.0);

    EXPECT_TRUE(ConsumptionChartSegments({}, now, kRussian).isEmpty());
    EXPECT_TRUE(ConsumptionChartSegments({ConsumptionRowTexts(noTime, 2026, kRussian)}, now, kRussian).isEmpty());
}

} // namespace
} // namespace ordan
