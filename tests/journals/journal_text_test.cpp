#include "journals/journal_text.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct EnergyCase {
    quint64 count;
    const char16_t *russian;
    const char16_t *c;
};

class JournalEnergyTextTest : public ::testing::TestWithParam<EnergyCase> {};

TEST_P(JournalEnergyTextTest, FiveDecimalsTwelveDigitsLocaleSeparator)
{
    const EnergyCase &k = GetParam();
    EXPECT_EQ(JournalEnergyText(k.count, QLocale(QLocale::Russian, QLocale::Russia)), QString::fromUtf16(k.russian));
    EXPECT_EQ(JournalEnergyText(k.count, QLocale::c()), QString::fromUtf16(k.c));
}

INSTANTIATE_TEST_SUITE_P(Counts, JournalEnergyTextTest,
                         ::testing::Values(EnergyCase{0, u"0,00000", u"0.00000"}, EnergyCase{1, u"0,00025", u"0.00025"},
                                           EnergyCase{4000, u"1,00000", u"1.00000"},
                                           // The fifth byte counts: 2^32.
                                           EnergyCase{4294967296ull, u"1073741,82400", u"1073741.82400"},
                                           // Seven whole digits and five decimals are twelve: nothing rounded yet.
                                           EnergyCase{39999999999ull, u"9999999,99975", u"9999999.99975"},
                                           // Eight whole digits leave four decimals: 10000000.00025 rounds half up.
                                           EnergyCase{40000000001ull, u"10000000,00030", u"10000000.00030"},
                                           EnergyCase{40000000003ull, u"10000000,00080", u"10000000.00080"},
                                           // The largest 40-bit count: nine whole digits, three decimals kept.
                                           EnergyCase{0xFFFFFFFFFFull, u"274877906,94400", u"274877906.94400"},
                                           EnergyCase{0xFFFFFFFFFDull, u"274877906,94300", u"274877906.94300"},
                                           // No group separators even for large values.
                                           EnergyCase{4000000000ull, u"1000000,00000", u"1000000.00000"}));

TEST(JournalEnergyText, UsesTheDefaultLocale)
{
    const test::LocaleScope ru(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(JournalEnergyText(4000), u"1,00000"_s);
    const test::LocaleScope c(QLocale::c());
    EXPECT_EQ(JournalEnergyText(4000), u"1.00000"_s);
}

TEST(JournalOperatingTimeText, HoursColonMinutesWithoutLeadingZeros)
{
    const std::pair<quint32, const char16_t *> cases[] = {
        {0, u"0:0"}, {1, u"0:0"}, {2, u"0:1"}, {120, u"1:0"}, {245, u"2:2"}, {7319, u"60:59"}, {0xFFFFFF, u"139810:7"}};
    for (const auto &[count, text] : cases)
        EXPECT_EQ(JournalOperatingTimeText(count), QString::fromUtf16(text)) << count;
}

TEST(JournalRecordTimeText, DayMonthHourMinuteInTheGivenYear)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    struct Case {
        quint8 minute, hour, day, month;
        int year;
        const char16_t *text;
    };
    const Case cases[] = {
        {0x05, 0x14, 0x07, 0x03, 2026, u"07.03 14:05"},
        {0x59, 0x23, 0x31, 0x12, 2026, u"31.12 23:59"},
        {0x00, 0x00, 0x01, 0x01, 2026, u"01.01 00:00"},
        {0x00, 0x12, 0x29, 0x02, 2028, u"29.02 12:00"}, // leap year
        {0x00, 0x12, 0x29, 0x02, 2026, u""},            // not a leap year
        {0x05, 0x14, 0x07, 0x13, 2026, u""},            // month 13
        {0x05, 0x14, 0x00, 0x03, 2026, u""},            // day 0
        {0x05, 0x14, 0x31, 0x04, 2026, u""},            // 31 April
        {0x05, 0x24, 0x07, 0x03, 2026, u""},            // hour 24
        {0x60, 0x14, 0x07, 0x03, 2026, u""},            // minute 60
        {0x0A, 0x14, 0x07, 0x03, 2026, u"07.03 14:10"}, // digits are not checked: 0x0A is 10
    };
    for (const Case &k : cases)
        EXPECT_EQ(JournalRecordTimeText(k.minute, k.hour, k.day, k.month, k.year, ru), QString::fromUtf16(k.text))
            << k.year << " " << int(k.day) << "." << int(k.month);
}

TEST(JournalTimeSeparator, TakenFromTheLocaleTimeFormat)
{
    EXPECT_EQ(JournalTimeSeparator(QLocale(QLocale::Russian, QLocale::Russia)), u":"_s);
    EXPECT_EQ(JournalTimeSeparator(QLocale::c()), u":"_s);
    // Finnish writes hours and minutes apart with a dot.
    EXPECT_EQ(JournalTimeSeparator(QLocale(QLocale::Finnish, QLocale::Finland)), u"."_s);
    EXPECT_EQ(JournalRecordTimeText(0x05, 0x14, 0x07, 0x03, 2026, QLocale(QLocale::Finnish, QLocale::Finland)),
              u"07.03 14.05"_s);
}

TEST(JournalMonthAbbreviations, TwelveInCalendarOrder)
{
    EXPECT_EQ(JournalMonthAbbreviations(),
              (QStringList{u"янв."_s, u"фев."_s, u"март"_s, u"апр."_s, u"май"_s, u"июнь"_s, u"июль"_s, u"авг."_s,
                           u"сент."_s, u"окт."_s, u"нояб."_s, u"дек."_s}));
}

} // namespace
} // namespace ordan
