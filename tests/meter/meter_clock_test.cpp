#include "core/bytes.h"
#include "link/frame.h"
#include "meter/meter_clock.h"
#include "meter/meter_text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

QByteArray ClockReply(const QByteArray &payload) { return AppendCrc(Bytes({0x04, 0x0A}) + payload); }

// The clock payload of a meter showing `at` (weekday from the date, summer flag on).
QByteArray PayloadOf(const QDateTime &at) { return ClockPayload(at.date(), at.time(), true); }

struct MeterClockTest : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    Modes modes;
    MeterParameters p{modes};
    QStringList log;
    LogLine logLine = [this](const QString &l) { log << l; };
    QDateTime now{QDate(2026, 12, 8), QTime(10, 15, 30)};
};

TEST_F(MeterClockTest, ShowsDateAndTimeAndTheSummerFlag)
{
    ASSERT_TRUE(DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80})), p, now, logLine));
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("08.12.2026 10:15:30"));
    EXPECT_TRUE(p.CheckSummer.value());
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(MeterClockTest, WrongWeekdayIsOnlyAWarning)
{
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x10, 0x03, 0x08, 0x12, 0x26, 0x80})), p, now, logLine);
    EXPECT_EQ(log, QStringList{QStringLiteral("Предупреждение: Получен ошибочный день недели")});
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("08.12.2026 10:15:30"));
}

TEST_F(MeterClockTest, InvalidTimeShowsTheDateAndABlank)
{
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x24, 0x02, 0x08, 0x12, 0x26, 0x80})), p, now, logLine);
    EXPECT_EQ(log, QStringList{QStringLiteral("Получено ошибочное время")});
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("08.12.2026 "));
}

TEST_F(MeterClockTest, InvalidTimeFields)
{
    for (const QByteArray &hms : {Bytes({0x60, 0x00, 0x00}), Bytes({0x00, 0x60, 0x00}), Bytes({0x00, 0x00, 0x24})}) {
        log.clear();
        DecodeClock(ClockReply(hms + Bytes({0x02, 0x08, 0x12, 0x26, 0x00})), p, now, logLine);
        EXPECT_EQ(log, QStringList{QStringLiteral("Получено ошибочное время")}) << test::Hex(hms).toStdString();
    }
    log.clear();
    DecodeClock(ClockReply(Bytes({0x59, 0x59, 0x23, 0x02, 0x08, 0x12, 0x26, 0x00})), p, now, logLine);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(MeterClockTest, InvalidDateKeepsTheTimeAndTakesNoSample)
{
    p.LabeledDelta.set(QStringLiteral("1,00"));
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x10, 0x02, 0x30, 0x02, 0x26, 0x80})), p, now, logLine);
    EXPECT_EQ(log, QStringList{QStringLiteral("Получена ошибочная дата")});
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("10:15:30"));
    EXPECT_TRUE(p.LabeledDelta.value().isEmpty());
}

TEST_F(MeterClockTest, InvalidDateAndTimeKeepTheEarlierText)
{
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80})), p, now, logLine);
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x99, 0x06, 0x29, 0x02, 0x27, 0x80})), p, now, logLine);
    EXPECT_EQ(log,
              (QStringList{QStringLiteral("Получено ошибочное время"), QStringLiteral("Получена ошибочная дата")}));
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("08.12.2026 10:15:30"));
}

TEST_F(MeterClockTest, LeapDays)
{
    DecodeClock(ClockReply(Bytes({0x00, 0x00, 0x00, 0x04, 0x29, 0x02, 0x24, 0x00})), p, now, logLine);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(p.LabeledCurTime.value(), QStringLiteral("29.02.2024 00:00:00"));
    DecodeClock(ClockReply(Bytes({0x00, 0x00, 0x00, 0x07, 0x29, 0x02, 0x25, 0x00})), p, now, logLine);
    EXPECT_EQ(log, QStringList{QStringLiteral("Получена ошибочная дата")});
}

TEST_F(MeterClockTest, OnlyBitSevenIsTheSummerFlag)
{
    p.CheckSummer.set(true);
    DecodeClock(ClockReply(Bytes({0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x7F})), p, now, logLine);
    EXPECT_FALSE(p.CheckSummer.value());
}

TEST(MeterClockFrame, PayloadCarriesBcdWeekdayAndSummerFlag)
{
    EXPECT_EQ(test::Hex(ClockPayload(QDate(2026, 3, 9), QTime(7, 5, 9), true)),
              QStringLiteral("09 05 07 01 09 03 26 80"));
    EXPECT_EQ(test::Hex(ClockPayload(QDate(2099, 12, 27), QTime(23, 59, 58), false)),
              QStringLiteral("58 59 23 07 27 12 99 00"));
}

struct MeterDriftTest : MeterClockTest {
    Modes sql = [] {
        Modes m;
        m.SqlMode = true;
        return m;
    }();
    MeterParameters d{sql};

    void reply(qint64 aheadSeconds) { DecodeClock(ClockReply(PayloadOf(now.addSecs(aheadSeconds))), d, now, logLine); }
};

TEST_F(MeterDriftTest, FiveSecondsAheadOverTenDaysAveragedOverTwoReplies)
{
    d.LastClockSet = now.addDays(-10);
    reply(5);
    EXPECT_EQ(d.DriftCount, 1);
    EXPECT_NEAR(d.DriftSum, 0.5, 1e-6);
    reply(5);
    EXPECT_EQ(d.DriftCount, 2);
    EXPECT_EQ(d.LabeledDelta.value(), QStringLiteral("0,50"));
    {
        test::LocaleScope c(QLocale::c());
        reply(5);
        EXPECT_EQ(d.LabeledDelta.value(), QStringLiteral("0.50"));
    }
}

TEST_F(MeterDriftTest, NoSampleInTheFirstHalfDay)
{
    d.LastClockSet = now.addSecs(-11 * 3600);
    reply(5);
    EXPECT_EQ(d.DriftCount, 0);
    EXPECT_TRUE(d.LabeledDelta.value().isEmpty());
    d.LastClockSet = now.addSecs(-12 * 3600);
    reply(5);
    EXPECT_EQ(d.DriftCount, 0) << "exactly half a day is not more than half a day";
    d.LastClockSet = now.addSecs(-12 * 3600 - 1);
    reply(5);
    EXPECT_EQ(d.DriftCount, 1);
}

TEST_F(MeterDriftTest, NoSampleWithoutASettingOrOutsideTheDatabaseMode)
{
    reply(5);
    EXPECT_EQ(d.DriftCount, 0);
    d.LastClockSet = now.addDays(1);
    reply(5);
    EXPECT_EQ(d.DriftCount, 0);
    p.LastClockSet = now.addDays(-10);
    DecodeClock(ClockReply(PayloadOf(now.addSecs(5))), p, now, logLine);
    EXPECT_EQ(p.DriftCount, 0);
    EXPECT_TRUE(p.LabeledDelta.value().isEmpty());
}

TEST_F(MeterDriftTest, SamplesAreAveraged)
{
    d.LastClockSet = now.addDays(-1);
    reply(2);
    reply(-1);
    EXPECT_EQ(d.DriftCount, 2);
    EXPECT_EQ(d.LabeledDelta.value(), QStringLiteral("0,50"));
}

TEST_F(MeterDriftTest, InvalidTimeCountsAsMidnight)
{
    d.LastClockSet = now.addDays(-10);
    const QByteArray payload = Bytes({0x00, 0x00, 0x25, 0x02, 0x08, 0x12, 0x26, 0x00});
    DecodeClock(ClockReply(payload), d, now, logLine);
    ASSERT_EQ(d.DriftCount, 1);
    const double expected = -(10 * 3600 + 15 * 60 + 30) / 10.0;
    EXPECT_NEAR(d.DriftSum, expected, 1e-6);
    EXPECT_EQ(d.LabeledDelta.value(), QStringLiteral("-3693,00"));
}

TEST(MeterDriftText, FixedPointWithFiveSignificantDigits)
{
    test::LocaleScope c(QLocale::c());
    struct Case {
        double value;
        const char *text;
    };
    const Case cases[] = {
        {0.5, "0.50"},         {-1.0, "-1.00"},       {0.004, "0.00"},
        {-0.004, "0.00"},      {12.345678, "12.35"},  {1234.567, "1234.60"},
        {12345.6, "12346.00"}, {99999.4, "99999.00"}, {123456.0, "1.2346E+05"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DriftText(c.value), QLatin1String(c.text)) << c.value;
}

TEST(MeterLocaleText, LongTimeWithoutTheZone)
{
    test::LocaleScope en(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(LongTimeText(QTime(22, 5, 7)), QStringLiteral("10:05:07 PM"));
}

} // namespace
} // namespace ordan
