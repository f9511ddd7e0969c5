#include "schedule/schedule_model.h"

#include "schedule_fixture.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ScheduleFixture;

using ScheduleModelTest = ScheduleFixture;

std::vector<FieldBase *> GroupControls(QObject *group)
{
    std::vector<FieldBase *> out;
    for (FieldBase *f : group->findChildren<FieldBase *>())
        out.push_back(f);
    return out;
}

TEST_F(ScheduleModelTest, StartState)
{
    EXPECT_TRUE(model.CheckOneTarif.value());
    EXPECT_TRUE(model.CheckOneTarif.isEnabled());
    EXPECT_FALSE(model.BtnReadSchedule.isEnabled());
    EXPECT_FALSE(model.BtnWriteSchedule.isEnabled());
    EXPECT_TRUE(model.BtnTemplet.isEnabled());
    // Single tariff at start: everything inside the three groups is disabled, the groups are not.
    for (QObject *group : {static_cast<QObject *>(&model.GroupTariff), static_cast<QObject *>(&model.GroupCel),
                           static_cast<QObject *>(&model.GroupTransfer)}) {
        EXPECT_TRUE(static_cast<FieldBase *>(group)->isEnabled());
        const auto controls = GroupControls(group);
        EXPECT_FALSE(controls.empty());
        for (FieldBase *f : controls)
            EXPECT_FALSE(f->isEnabled()) << f->objectName().toStdString();
    }
    EXPECT_TRUE(model.ValueListEditor1.isGreyText());
    EXPECT_TRUE(model.StringAttrib.isGreyText());
    EXPECT_FALSE(model.ListCel.isGreyText());
    EXPECT_EQ(model.ListCel.value(), DefaultHolidays());
    EXPECT_TRUE(model.ListTransfer.value().isEmpty());
    EXPECT_EQ(model.ComboM.value(), 0);
    EXPECT_EQ(model.SpinD.value(), 1);
    EXPECT_EQ(model.SpinD.maximum(), 31);
    EXPECT_EQ(model.ComboTrans.value(), 0);
    EXPECT_EQ(model.DTPTrans.value(), facts.now().date());
    EXPECT_EQ(model.schedule(), TariffSchedule{});
    for (FieldBase *f : {static_cast<FieldBase *>(&model.StringAttrib), static_cast<FieldBase *>(&model.GroupCel),
                         static_cast<FieldBase *>(&model.GroupTransfer), static_cast<FieldBase *>(&model.BtnTemplet)})
        EXPECT_TRUE(f->isVisible());
}

TEST_F(ScheduleModelTest, SingleTariffSwitchFollowsTheEnablingRule)
{
    model.CheckOneTarif.edit(false);
    for (QObject *group : {static_cast<QObject *>(&model.GroupTariff), static_cast<QObject *>(&model.GroupCel),
                           static_cast<QObject *>(&model.GroupTransfer)})
        for (FieldBase *f : GroupControls(group)) {
            // The delete buttons wait for a selection.
            const bool expected = f != &model.BtnDelCel && f != &model.BtnDelTrans;
            EXPECT_EQ(f->isEnabled(), expected) << f->objectName().toStdString();
        }
    EXPECT_FALSE(model.ValueListEditor1.isGreyText());
    EXPECT_FALSE(model.StringAttrib.isGreyText());

    model.CheckOneTarif.edit(true);
    EXPECT_FALSE(model.Picker_Zone0.isEnabled());
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.ComboM.isEnabled());
    EXPECT_FALSE(model.DTPTrans.isEnabled());
    EXPECT_TRUE(model.BtnTemplet.isEnabled());
    EXPECT_TRUE(model.StringAttrib.isGreyText());
}

TEST_F(ScheduleModelTest, OperatorTimeEditPropagatesStationWriteDoesNot)
{
    model.CheckOneTarif.edit(false);
    model.picker(2).edit(QTime(21, 0));
    const TariffSchedule s = model.schedule();
    EXPECT_EQ(s.zones[3], (TariffZone{QTime(21, 1), u"3"_s}));
    EXPECT_EQ(s.zones[5], (TariffZone{QTime(21, 3), u"3"_s}));
    EXPECT_EQ(s.zones[1], InitialZones()[1]);

    model.picker(0).set(QTime(23, 0));
    EXPECT_EQ(model.schedule().zones[1], InitialZones()[1]);
    EXPECT_EQ(model.picker(0).value(), QTime(23, 0));
}

TEST_F(ScheduleModelTest, TariffEditStoresTheChoiceOnly)
{
    model.setZoneTariff(4, u"1"_s);
    EXPECT_EQ(model.ValueListEditor1.value()[4], u"1"_s);
    auto expected = InitialZones();
    expected[4].tariff = u"1"_s;
    EXPECT_EQ(model.schedule().zones, expected);
}

TEST_F(ScheduleModelTest, DayTypeCellsToggleTitleRowDoesNot)
{
    model.StringAttribSelectCell(0, 1); // zone 0, Monday
    EXPECT_EQ(model.StringAttrib.value()[0], 0xFE);
    model.StringAttribSelectCell(7, 6); // zone 5, holiday
    EXPECT_EQ(model.StringAttrib.value()[5], 0x7F);
    model.StringAttribSelectCell(0, 1);
    EXPECT_EQ(model.StringAttrib.value()[0], 0xFF);
    const MaskTable before = model.StringAttrib.value();
    model.StringAttribSelectCell(3, 0);
    model.StringAttribSelectCell(8, 1);
    model.StringAttribSelectCell(0, 7);
    EXPECT_EQ(model.StringAttrib.value(), before);
}

TEST_F(ScheduleModelTest, VersionVisibility)
{
    const struct {
        int version;
        bool shown;
    } cases[] = {{9, false}, {10, true}, {0, false}, {12, true}, {5, false}};
    for (const auto &c : cases) {
        model.applyMeterVersion(c.version);
        EXPECT_EQ(model.StringAttrib.isVisible(), c.shown) << c.version;
        EXPECT_EQ(model.GroupCel.isVisible(), c.shown) << c.version;
        EXPECT_EQ(model.GroupTransfer.isVisible(), c.shown) << c.version;
        EXPECT_EQ(model.BtnTemplet.isVisible(), c.shown) << c.version;
        EXPECT_TRUE(model.ValueListEditor1.isVisible());
        EXPECT_TRUE(model.GroupTariff.isVisible());
    }
}

TEST_F(ScheduleModelTest, FourMoreHolidaysAfterStartTheSixteenthDisablesAdd)
{
    model.CheckOneTarif.edit(false);
    const int days[] = {10, 11, 12, 13};
    model.ComboM.edit(6); // July
    for (int d : days) {
        EXPECT_TRUE(model.BtnInsCel.isEnabled());
        model.SpinD.edit(d);
        EXPECT_TRUE(model.BtnInsCel.execute());
    }
    EXPECT_EQ(model.ListCel.value().size(), 16);
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.BtnInsCel.execute());
    model.BtnInsCelClick(); // even the handler itself keeps the limit
    EXPECT_EQ(model.ListCel.value().size(), 16);

    model.selectHolidays({3});
    EXPECT_TRUE(model.BtnDelCel.isEnabled());
    EXPECT_TRUE(model.BtnDelCel.execute());
    EXPECT_EQ(model.ListCel.value().size(), 15);
    EXPECT_TRUE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.BtnDelCel.isEnabled());
}

TEST_F(ScheduleModelTest, HolidayLimitSurvivesTheSingleTariffSwitch)
{
    model.CheckOneTarif.edit(false);
    model.ComboM.edit(7);
    for (int d = 1; d <= 4; ++d) {
        model.SpinD.edit(d);
        model.BtnInsCel.execute();
    }
    ASSERT_EQ(model.ListCel.value().size(), 16);
    model.CheckOneTarif.edit(true);
    model.CheckOneTarif.edit(false);
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.BtnDelCel.isEnabled());
    // Restoring while single tariff is on does not enable the disabled group's buttons.
    model.CheckOneTarif.edit(true);
    model.BtnTemplet.execute();
    EXPECT_EQ(model.ListCel.value(), DefaultHolidays());
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
}

TEST_F(ScheduleModelTest, NewHolidayGoesBeforeAnEqualOne)
{
    model.CheckOneTarif.edit(false);
    model.ComboM.edit(4); // May
    model.SpinD.edit(1);
    model.BtnInsCel.execute();
    const QList<HolidayEntry> list = model.ListCel.value();
    ASSERT_EQ(list.size(), 13);
    EXPECT_EQ(list[8], (HolidayEntry{1, 5}));
    EXPECT_EQ(list[9], (HolidayEntry{1, 5}));
    EXPECT_EQ(list[10], (HolidayEntry{9, 5}));
    EXPECT_EQ(HolidayInsertPosition(DefaultHolidays(), {1, 5}), 8);
}

TEST_F(ScheduleModelTest, DayMaximumFollowsTheMonth)
{
    model.CheckOneTarif.edit(false);
    model.SpinD.edit(31);
    const struct {
        int index;
        int maximum;
    } cases[] = {{1, 29}, {0, 31}, {3, 30}, {5, 30}, {8, 30}, {10, 30}, {11, 31}, {6, 31}, {7, 31}};
    for (const auto &c : cases) {
        model.ComboM.edit(c.index);
        EXPECT_EQ(model.SpinD.maximum(), c.maximum) << c.index;
    }
    model.ComboM.edit(0);
    model.SpinD.edit(31);
    model.ComboM.edit(1);
    EXPECT_EQ(model.SpinD.value(), 29); // lowered at once
    model.SpinD.edit(30);
    EXPECT_EQ(model.SpinD.value(), 29);
    model.BtnInsCel.execute();
    EXPECT_EQ(model.ListCel.value()[7], (HolidayEntry{29, 2}));
    model.ComboM.edit(0);
    EXPECT_EQ(model.SpinD.maximum(), 31);
    model.SpinD.edit(0);
    EXPECT_EQ(model.SpinD.value(), 1);
}

TEST_F(ScheduleModelTest, SameDateTransferGoesAfterTheExistingOne)
{
    model.CheckOneTarif.edit(false);
    const QDate d = facts.now().date().addDays(3);
    model.DTPTrans.edit(d);
    model.ComboTrans.edit(5); // Saturday
    model.BtnInsTrans.execute();
    model.DTPTrans.edit(d.addDays(5));
    model.BtnInsTrans.execute();
    model.DTPTrans.edit(d);
    model.ComboTrans.edit(0); // Monday
    model.BtnInsTrans.execute();
    const QList<TransferEntry> expected{{d, 6}, {d, 1}, {d.addDays(5), 6}};
    EXPECT_EQ(model.ListTransfer.value(), expected);
}

TEST_F(ScheduleModelTest, TransferDateFloorUsesTheGivenClock)
{
    const QDate today = facts.now().date();
    ASSERT_EQ(today, QDate(2026, 12, 8));
    model.CheckOneTarif.edit(false);
    model.DTPTrans.edit(today.addDays(10));
    EXPECT_EQ(model.DTPTrans.value(), today.addDays(10));
    model.DTPTrans.edit(today.addDays(-1));
    EXPECT_EQ(model.DTPTrans.value(), today);
    model.DTPTrans.edit(QDate(2007, 5, 25));
    EXPECT_EQ(model.DTPTrans.value(), today);
    // The clock moves on: the floor follows it.
    facts.base = QDateTime(QDate(2027, 1, 2), QTime(0, 0, 1));
    model.DTPTrans.edit(QDate(2027, 1, 1));
    EXPECT_EQ(model.DTPTrans.value(), QDate(2027, 1, 2));
    // The station's own write is not floored, but the wire's range holds.
    model.DTPTrans.set(QDate(2007, 5, 25));
    EXPECT_EQ(model.DTPTrans.value(), QDate(2007, 5, 25));
    model.DTPTrans.edit(QDate(2150, 1, 1));
    EXPECT_EQ(model.DTPTrans.value(), QDate(2099, 12, 31));
}

TEST_F(ScheduleModelTest, ThreeSelectedAreDeleted)
{
    model.CheckOneTarif.edit(false);
    EXPECT_FALSE(model.BtnDelCel.isEnabled());
    model.selectHolidays({0, 5, 11});
    EXPECT_TRUE(model.BtnDelCel.isEnabled());
    EXPECT_TRUE(model.BtnDelCel.execute());
    QList<HolidayEntry> expected = DefaultHolidays();
    expected.removeAt(11);
    expected.removeAt(5);
    expected.removeAt(0);
    EXPECT_EQ(model.ListCel.value(), expected);
    EXPECT_FALSE(model.BtnDelCel.isEnabled());
    EXPECT_TRUE(model.holidaySelection().isEmpty());

    // Transfers alike.
    for (int i = 0; i < 5; ++i) {
        model.DTPTrans.edit(facts.now().date().addDays(i));
        model.BtnInsTrans.execute();
    }
    model.selectTransfers({4, 1, 2});
    EXPECT_TRUE(model.BtnDelTrans.execute());
    ASSERT_EQ(model.ListTransfer.value().size(), 2);
    EXPECT_EQ(model.ListTransfer.value()[1].date, facts.now().date().addDays(3));
    EXPECT_FALSE(model.BtnDelTrans.isEnabled());
}

TEST_F(ScheduleModelTest, SelectionIgnoresRowsOutsideTheList)
{
    model.CheckOneTarif.edit(false);
    model.selectHolidays({-1, 12, 40});
    EXPECT_FALSE(model.BtnDelCel.isEnabled());
    model.selectHolidays({2, 2, 99});
    EXPECT_EQ(model.holidaySelection(), QList<int>{2});
    model.BtnDelCel.execute();
    EXPECT_EQ(model.ListCel.value().size(), 11);
}

TEST_F(ScheduleModelTest, RestoreHolidaysWorksInSingleTariffMode)
{
    model.CheckOneTarif.edit(false);
    model.selectHolidays({0, 1, 2, 3});
    model.BtnDelCel.execute();
    model.CheckOneTarif.edit(true);
    ASSERT_EQ(model.ListCel.value().size(), 8);
    EXPECT_TRUE(model.BtnTemplet.execute());
    EXPECT_EQ(model.ListCel.value(), DefaultHolidays());
}

TEST_F(ScheduleModelTest, PresetsFromStoredRecords)
{
    model.presetSingleTariff(false);
    EXPECT_TRUE(model.Picker_Zone0.isEnabled());
    model.presetZone(0, u"2"_s, QTime(1, 15, 42));
    model.presetZone(5, u""_s, QTime(0, 0));  // a null tariff column
    model.presetZone(6, u"1"_s, QTime(3, 0)); // no such zone: nothing
    const TariffSchedule s = model.schedule();
    EXPECT_FALSE(s.singleTariff);
    EXPECT_EQ(s.zones[0], (TariffZone{QTime(1, 15), u"2"_s}));
    EXPECT_EQ(s.zones[5], (TariffZone{QTime(0, 0), u""_s}));
    EXPECT_EQ(s.zones[1], InitialZones()[1]); // no propagation from a preset
    model.presetSingleTariff(true);
    EXPECT_FALSE(model.Picker_Zone0.isEnabled());
}

TEST_F(ScheduleModelTest, ZoneRequestForTheSettingsWrite)
{
    EncodedRequest single = model.zoneTableRequest();
    ASSERT_TRUE(single.ok());
    EXPECT_EQ(test::Hex(single.value()), u"09 02"_s);
    model.presetSingleTariff(false);
    EncodedRequest zones = model.zoneTableRequest();
    ASSERT_TRUE(zones.ok());
    EXPECT_EQ(test::Hex(AppendCrc(zones.value())),
              u"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30 5D 67"_s);
    // No write check here: times out of order still go.
    model.presetZone(3, u"2"_s, QTime(1, 0));
    EXPECT_TRUE(model.zoneTableRequest().ok());
    // But a tariff that has no byte is refused.
    model.presetZone(2, u"300"_s, QTime(8, 30));
    const EncodedRequest refused = model.zoneTableRequest();
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(u"зоны 2"_s)) << refused.error().toStdString();
    // The settings writer's hook says why in a box and gives nothing.
    EXPECT_FALSE(model.scheduleZonesBody().has_value());
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, refused.error());
    EXPECT_EQ(op.boxes[0].caption, u"Ошибка"_s);
    // Single tariff does not look at the tariffs.
    model.presetSingleTariff(true);
    EXPECT_TRUE(model.zoneTableRequest().ok());
    EXPECT_EQ(model.scheduleZonesBody(), Bytes({0x09, 0x02}));
    EXPECT_EQ(op.boxes.size(), 1u);
}

} // namespace
} // namespace ordan
