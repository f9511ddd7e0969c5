#include "schedule/tariff_schedule.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kAscending = u"Ошибка в тарифном расписании. Время в расписании должно нарастать."_s;
const QString kNotDescending = u"Ошибка в тарифном расписании. Время в расписании не должно убывать."_s;
const QString kNoWeekdays = u"Ошибка в тарифном расписании. Нет данных для дней недели."_s;

QString ZoneUndefined(int zone)
{
    return u"Ошибка в тарифном расписании. Зона "_s + QString::number(zone) + u"не определена."_s;
}

TEST(TariffScheduleTest, InitialValues)
{
    const TariffSchedule s;
    EXPECT_TRUE(s.singleTariff);
    const ZoneTable expected{{{QTime(0, 0), u"1"_s},
                              {QTime(6, 30), u"2"_s},
                              {QTime(8, 30), u"3"_s},
                              {QTime(11, 30), u"2"_s},
                              {QTime(17, 30), u"3"_s},
                              {QTime(20, 30), u"2"_s}}};
    EXPECT_EQ(s.zones, expected);
    for (DayTypeMask m : s.masks)
        EXPECT_EQ(m, 0xFF);
    EXPECT_EQ(s.holidays.size(), 12);
    EXPECT_TRUE(s.transfers.isEmpty());
    EXPECT_EQ(DayTypeTitles().join(u' '), u"ПН ВТ СР ЧТ ПТ СБ ВС ПР"_s);
    EXPECT_EQ(DayTypeName(8), u"праздник"_s);
    EXPECT_EQ(DayTypeName(1), u"понедельник"_s);
    EXPECT_TRUE(DayTypeName(0).isEmpty());
    EXPECT_TRUE(DayTypeName(9).isEmpty());
}

TEST(TariffScheduleTest, PropagationMovesLaterZonesThatDoNotStartAfterTheNewTime)
{
    ZoneTable z = InitialZones();
    PropagateStartTime(z, 2, QTime(21, 0));
    EXPECT_EQ(z[0], InitialZones()[0]);
    EXPECT_EQ(z[1], InitialZones()[1]);
    EXPECT_EQ(z[2], (TariffZone{QTime(21, 0), u"3"_s}));
    EXPECT_EQ(z[3], (TariffZone{QTime(21, 1), u"3"_s}));
    EXPECT_EQ(z[4], (TariffZone{QTime(21, 2), u"3"_s}));
    EXPECT_EQ(z[5], (TariffZone{QTime(21, 3), u"3"_s}));
}

TEST(TariffScheduleTest, PropagationStopsAtMidnight)
{
    ZoneTable z = InitialZones();
    PropagateStartTime(z, 4, QTime(23, 59));
    EXPECT_EQ(z[4].start, QTime(23, 59));
    EXPECT_EQ(z[5], InitialZones()[5]);
    EXPECT_EQ(WriteCheck(false, z, TariffSchedule{}.masks, 10).error(), kNotDescending);
    EXPECT_EQ(WriteCheck(false, z, TariffSchedule{}.masks, 9).error(), kAscending);

    // Only the zones whose moved time would pass midnight stay.
    ZoneTable y = InitialZones();
    PropagateStartTime(y, 1, QTime(23, 57));
    EXPECT_EQ(y[2].start, QTime(23, 58));
    EXPECT_EQ(y[3].start, QTime(23, 59));
    EXPECT_EQ(y[4], InitialZones()[4]);
    EXPECT_EQ(y[5], InitialZones()[5]);
    EXPECT_EQ(y[3].tariff, u"2"_s);
}

TEST(TariffScheduleTest, PropagationLeavesLaterZonesThatStartAfterTheNewTime)
{
    ZoneTable z = InitialZones();
    PropagateStartTime(z, 3, QTime(7, 0)); // earlier than zone 2
    ZoneTable expected = InitialZones();
    expected[3].start = QTime(7, 0);
    EXPECT_EQ(z, expected);

    // A zone starting exactly at the new time counts as not later, and moves.
    ZoneTable e = InitialZones();
    PropagateStartTime(e, 0, QTime(6, 30));
    EXPECT_EQ(e[1], (TariffZone{QTime(6, 31), u"1"_s}));
    EXPECT_EQ(e[2], InitialZones()[2]);
}

TEST(TariffScheduleTest, PropagationDropsSeconds)
{
    ZoneTable z = InitialZones();
    PropagateStartTime(z, 5, QTime(22, 10, 45));
    EXPECT_EQ(z[5].start, QTime(22, 10));
}

struct CheckCase {
    const char *what;
    bool single;
    int version;
    std::array<QTime, 6> starts;
    MaskTable masks;
    std::optional<QString> expected;
};

TEST(TariffScheduleTest, WriteCheckTable)
{
    const std::array<QTime, 6> initial{QTime(0, 0),   QTime(6, 30),  QTime(8, 30),
                                       QTime(11, 30), QTime(17, 30), QTime(20, 30)};
    std::array<QTime, 6> zone3Early = initial;
    zone3Early[3] = QTime(8, 0);
    std::array<QTime, 6> equal = initial;
    equal[2] = QTime(6, 30);
    const MaskTable all{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const MaskTable zone4Empty{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF};
    const MaskTable zones2And4Empty{0xFF, 0xFF, 0x00, 0xFF, 0x00, 0xFF};
    const MaskTable zone5Empty{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const MaskTable holidaysOnly{0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    const MaskTable oneSunday{0x80, 0x80, 0x40, 0x80, 0x80, 0x80};
    const MaskTable none{};

    const CheckCase cases[] = {
        {"initial, multi, v10", false, 10, initial, all, std::nullopt},
        {"initial, multi, v9", false, 9, initial, all, std::nullopt},
        {"initial, single, v10", true, 10, initial, all, std::nullopt},
        {"zone 3 early, v9", false, 9, zone3Early, all, kAscending},
        {"zone 3 early, v0", false, 0, zone3Early, all, kAscending},
        {"zone 3 early, v10", false, 10, zone3Early, all, kNotDescending},
        {"zone 3 early, single, v10", true, 10, zone3Early, all, kAscending},
        {"equal starts, v10", false, 10, equal, all, std::nullopt},
        {"equal starts, v9", false, 9, equal, all, kAscending},
        {"equal starts, single, v10", true, 10, equal, all, kAscending},
        {"zone 4 unmarked", false, 10, initial, zone4Empty, ZoneUndefined(4)},
        {"zones 2 and 4 unmarked", false, 10, initial, zones2And4Empty, ZoneUndefined(2)},
        {"evening zone 5 unmarked", false, 10, initial, zone5Empty, ZoneUndefined(5)},
        {"nothing marked", false, 10, initial, none, ZoneUndefined(0)},
        {"holiday column only", false, 10, initial, holidaysOnly, kNoWeekdays},
        {"one Sunday mark", false, 10, initial, oneSunday, std::nullopt},
        // Up to version 9 the marks are not looked at.
        {"no marks, v9", false, 9, initial, none, std::nullopt},
        {"no marks, v0", false, 0, initial, none, std::nullopt},
        {"no marks, single, v10", true, 10, initial, none, std::nullopt},
        // Order first, then the masks.
        {"both faults, v10", false, 10, zone3Early, none, kNotDescending},
    };
    for (const CheckCase &c : cases) {
        ZoneTable z = InitialZones();
        for (int i = 0; i < 6; ++i)
            z[i].start = c.starts[i];
        const Status checked = WriteCheck(c.single, z, c.masks, c.version);
        EXPECT_EQ(checked.ok(), !c.expected) << c.what;
        EXPECT_EQ(checked.error(), c.expected.value_or(QString())) << c.what;
    }
    EXPECT_EQ(ZoneUndefined(4), u"Ошибка в тарифном расписании. Зона 4не определена."_s);
}

TEST(TariffScheduleTest, DayTypeToggleFlipsOneBit)
{
    DayTypeMask m = 0xFF;
    m = ToggleDayType(m, 1);
    EXPECT_EQ(m, 0xFE);
    EXPECT_FALSE(HasDayType(m, 1));
    EXPECT_TRUE(HasDayType(m, 8));
    m = ToggleDayType(m, 8);
    EXPECT_EQ(m, 0x7E);
    m = ToggleDayType(ToggleDayType(m, 1), 8);
    EXPECT_EQ(m, 0xFF);
}

TEST(TariffScheduleTest, TariffEncoding)
{
    const struct {
        QString text;
        std::optional<quint8> expected;
    } cases[] = {
        {u"1"_s, 1},    {u"3"_s, 3},
        {u"0"_s, 0},    {u"255"_s, 255},
        {u"007"_s, 7},  {u" 2 "_s, 2},
        {u"256"_s, {}}, {u"-1"_s, {}},
        {u""_s, {}},    {u"2.5"_s, {}},
        {u"abc"_s, {}}, {u"+2"_s, {}},
        {u"1e2"_s, {}}, {u"99999999999"_s, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EncodeTariff(c.text), c.expected) << c.text.toStdString();
}

} // namespace
} // namespace ordan
