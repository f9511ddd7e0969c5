#include "schedule_fixture.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Hex;
using test::ScheduleFixture;

struct ScheduleEngineTest : ScheduleFixture {
    // Lets every queued request run, until only a poll request is left.
    void runQueue()
    {
        ASSERT_TRUE(timers.advanceUntil([this] { return test::OnlyPollingQueued(engine); }, 60000));
    }
    void waitIndicator(Indicator i)
    {
        timers.advanceUntil([this, i] { return engine.panel().Shape1.value() == i; }, 60000);
    }
    std::vector<QString> seenSince(size_t from) const
    {
        std::vector<QString> out;
        for (size_t i = from; i < meter.seen.size(); ++i)
            if (ByteAt(meter.seen[i], 0) != 0x00 && ByteAt(meter.seen[i], 1) >= 2)
                out.push_back(Hex(meter.seen[i].chopped(2)));
        return out;
    }
};

TEST_F(ScheduleEngineTest, ButtonsNeedAConnection)
{
    model.setConnected(true);
    model.CheckOneTarif.edit(false);
    model.BtnWriteScheduleClick(); // the line is down
    model.BtnReadScheduleClick();
    EXPECT_TRUE(engine.commands().isEmpty());
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
    EXPECT_EQ(model.ListCel.value(), DefaultHolidays());
    model.setConnected(false);
    EXPECT_FALSE(model.BtnReadSchedule.isEnabled());
    EXPECT_FALSE(model.BtnWriteSchedule.execute());
}

TEST_F(ScheduleEngineTest, VersionNineAndUnknownReadAndWriteTheZonesOnly)
{
    for (int version : {9, 0}) {
        SCOPED_TRACE(version);
        meter.major = version == 9 ? 0x09 : 0x00;
        connect();
        engine.setMeterVersion(version); // a version-0 reply leaves it at 0 anyway
        model.applyMeterVersion(version);
        model.CheckOneTarif.edit(false);
        // Marks are not examined up to version 9.
        model.StringAttrib.set(MaskTable{});

        qsizetype before = engine.commands().size();
        EXPECT_TRUE(model.BtnReadSchedule.execute());
        EXPECT_EQ(queued(before), (std::vector<QString>{u"08 02"_s}));
        EXPECT_EQ(model.ListCel.value(), DefaultHolidays()); // the lists stay
        runQueue();

        before = engine.commands().size();
        EXPECT_TRUE(model.BtnWriteSchedule.execute());
        EXPECT_TRUE(engine.writePending(WriteKind::Schedule));
        EXPECT_EQ(
            queued(before),
            (std::vector<QString>{u"14 04 01 00"_s, u"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"_s}));
        waitIndicator(Indicator::Green);
        EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
        ASSERT_TRUE(engine.disconnectLine());
        model.setConnected(false);
        waitIndicator(Indicator::Hidden);
    }
    EXPECT_EQ(host.records, 2);
}

TEST_F(ScheduleEngineTest, SingleTariffWithVersionTenSendsPasswordAndOneTariff)
{
    connect();
    ASSERT_EQ(engine.meterVersion(), 10);
    const qsizetype before = engine.commands().size();
    model.BtnWriteSchedule.execute();
    EXPECT_EQ(queuedFrames(before),
              (std::vector<QString>{Hex(AppendCrc(Bytes({0x14, 0x04, 0x01, 0x00}))), u"09 02 86 21"_s}));
    waitIndicator(Indicator::Green);
    EXPECT_TRUE(meter.single);
    EXPECT_EQ(host.records, 1);
}

TEST_F(ScheduleEngineTest, SixteenHolidaysAndTransfersQueue37Requests)
{
    connect();
    model.CheckOneTarif.edit(false);
    model.ComboM.edit(11);
    for (int d = 20; d < 24; ++d) {
        model.SpinD.edit(d);
        model.BtnInsCel.execute();
    }
    for (int i = 0; i < 16; ++i) {
        model.DTPTrans.edit(facts.now().date().addDays(i));
        model.BtnInsTrans.execute();
    }
    ASSERT_EQ(model.ListCel.value().size(), 16);
    ASSERT_EQ(model.ListTransfer.value().size(), 16);
    const qsizetype before = engine.commands().size();
    model.BtnWriteSchedule.execute();
    const auto q = queued(before);
    ASSERT_EQ(q.size(), 37u);
    EXPECT_EQ(q[0], u"14 04 01 00"_s);
    EXPECT_TRUE(q[1].startsWith(u"09 14"_s));
    EXPECT_EQ(q[2], u"2F 08 FF FF FF FF FF FF"_s);
    EXPECT_EQ(q[3], u"27 02"_s);
    EXPECT_EQ(q[4], u"27 05 00 01 01"_s);
    EXPECT_EQ(q[19], u"27 05 0F 23 12"_s);
    EXPECT_EQ(q[20], u"29 02"_s);
    EXPECT_EQ(q[21], u"29 07 00 08 12 26 01"_s);
    EXPECT_EQ(q[36], u"29 07 0F 23 12 26 01"_s);
}

TEST_F(ScheduleEngineTest, WriteThenReadBackIntoAClearedEditor)
{
    connect();
    password = u"4660"_s;
    meter.major = 0x10;
    model.CheckOneTarif.edit(false);
    model.picker(3).edit(QTime(12, 0));
    model.setZoneTariff(3, u"1"_s);
    model.picker(5).edit(QTime(22, 15));
    model.StringAttribSelectCell(7, 1); // zone 0 not on holidays
    model.StringAttribSelectCell(0, 6); // zone 5 not on Mondays
    model.ComboM.edit(1);
    model.SpinD.edit(29);
    model.BtnInsCel.execute();
    model.DTPTrans.edit(QDate(2027, 3, 6));
    model.ComboTrans.edit(0);
    model.BtnInsTrans.execute();
    model.DTPTrans.edit(QDate(2027, 1, 2));
    model.ComboTrans.edit(7);
    model.BtnInsTrans.execute();
    const TariffSchedule written = model.schedule();
    ASSERT_EQ(written.holidays.size(), 13);
    ASSERT_EQ(written.transfers.size(), 2);

    const size_t seenBefore = meter.seen.size();
    model.BtnWriteSchedule.execute();
    waitIndicator(Indicator::Green);
    EXPECT_EQ(host.records, 1);
    EXPECT_TRUE(op.boxes.empty());
    const auto sent = seenSince(seenBefore);
    ASSERT_GE(sent.size(), 20u);
    EXPECT_EQ(sent[0], u"14 04 34 12"_s);
    EXPECT_EQ(meter.masks[0], 0x7F);
    EXPECT_EQ(meter.masks[5], 0xFE);
    EXPECT_EQ(meter.zones[3], (std::array<quint8, 3>{1, 0x12, 0x00}));
    EXPECT_EQ(meter.transfers[0], (std::array<quint8, 4>{0x02, 0x01, 0x27, 0x08}));

    model.setSchedule(TariffSchedule{});
    model.ListCel.set({});
    ASSERT_NE(model.schedule(), written);
    model.BtnReadSchedule.execute();
    EXPECT_TRUE(model.ListCel.value().isEmpty());
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
    runQueue();
    EXPECT_EQ(model.schedule(), written);
    EXPECT_TRUE(model.Picker_Zone0.isEnabled());
    EXPECT_EQ(host.records, 1); // a read records nothing
}

TEST_F(ScheduleEngineTest, FailedWriteShowsRedIndicatorAndTheBox)
{
    connect();
    model.CheckOneTarif.edit(false);
    meter.refuseCode = 0x27;
    const size_t seenBefore = meter.seen.size();
    model.BtnWriteSchedule.execute();
    waitIndicator(Indicator::Red);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, Engine::WriteErrorText());
    EXPECT_EQ(op.boxes[0].caption, u"Ошибка"_s);
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
    EXPECT_EQ(host.records, 0);
    // Nothing after the refused request went out.
    const auto sent = seenSince(seenBefore);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent.back(), u"27 02"_s);
    EXPECT_TRUE(logHas(u"Ошибка: Неверные данные запроса"_s));
}

TEST_F(ScheduleEngineTest, FailedReadShowsNoBox)
{
    connect();
    meter.refuseCode = 0x26;
    model.BtnReadSchedule.execute();
    runQueue();
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
    EXPECT_TRUE(model.ListCel.value().isEmpty());
    EXPECT_FALSE(model.CheckOneTarif.value()); // the zone reply before the failure stays
}

TEST_F(ScheduleEngineTest, WriteCheckFailureShowsTheMessageAndQueuesNothing)
{
    connect();
    model.CheckOneTarif.edit(false);
    model.StringAttribSelectCell(0, 5);
    for (int c = 1; c < 8; ++c)
        model.StringAttribSelectCell(c, 5); // zone 4 left with no marks
    const qsizetype before = engine.commands().size();
    model.BtnWriteSchedule.execute();
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, u"Ошибка в тарифном расписании. Зона 4не определена."_s);
    EXPECT_EQ(op.boxes[0].caption, u"Ошибка"_s);
    EXPECT_EQ(op.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(engine.commands().size(), before);
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));

    // Single tariff: the disabled pickers out of order still refuse the write.
    model.StringAttribSelectCell(0, 5);
    model.picker(4).edit(QTime(1, 0));
    model.CheckOneTarif.edit(true);
    model.BtnWriteSchedule.execute();
    ASSERT_EQ(op.boxes.size(), 2u);
    EXPECT_EQ(op.boxes[1].text, u"Ошибка в тарифном расписании. Время в расписании должно нарастать."_s);
    EXPECT_EQ(engine.commands().size(), before);
}

TEST_F(ScheduleEngineTest, UnencodableTariffLeavesNothingOnTheQueue)
{
    connect();
    model.presetSingleTariff(false);
    model.presetZone(2, u"300"_s, QTime(8, 30));
    const qsizetype before = engine.commands().size();
    model.BtnWriteSchedule.execute();
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].caption, u"Ошибка"_s);
    EXPECT_TRUE(op.boxes[0].text.contains(u"300"_s));
    EXPECT_EQ(engine.commands().size(), before);
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
    runQueue();
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
    EXPECT_EQ(host.records, 0);
}

TEST_F(ScheduleEngineTest, LengthTwoZoneReplySwitchesSingleTariffOn)
{
    connect();
    model.CheckOneTarif.edit(false);
    model.picker(1).set(QTime(7, 0));
    const ZoneTable before = model.schedule().zones;
    meter.single = true;
    model.BtnReadSchedule.execute();
    runQueue();
    EXPECT_TRUE(model.CheckOneTarif.value());
    EXPECT_FALSE(model.Picker_Zone0.isEnabled());
    EXPECT_FALSE(model.ComboM.isEnabled());
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.BtnInsTrans.isEnabled());
    EXPECT_TRUE(model.BtnTemplet.isEnabled());
    EXPECT_EQ(model.schedule().zones, before);
}

TEST_F(ScheduleEngineTest, InvalidHourKeepsTheOldStartAndLogs)
{
    const struct {
        int zone;
        std::array<quint8, 3> record;
        QTime start; // the old start where the time is invalid
        bool logged;
    } cases[] = {
        {1, {0x05, 0x24, 0x00}, QTime(6, 30), true},   {2, {0x07, 0x25, 0x00}, QTime(8, 30), true},
        {3, {0x01, 0x12, 0x60}, QTime(11, 30), true},  {4, {0x02, 0x18, 0x05}, QTime(18, 5), false},
        {5, {0x03, 0x23, 0x59}, QTime(23, 59), false},
    };
    connect();
    for (const auto &c : cases)
        meter.zones[static_cast<size_t>(c.zone)] = c.record;
    model.BtnReadSchedule.execute();
    runQueue();
    const ZoneTable z = model.schedule().zones;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.zone);
        const TariffZone &read = z[static_cast<size_t>(c.zone)];
        EXPECT_EQ(read.start.toString(), c.start.toString());
        EXPECT_EQ(read.tariff, QString::number(c.record[0]));
        EXPECT_EQ(logHas(u"Некорректный тариф, зона %1"_s.arg(c.zone)), c.logged);
    }
    EXPECT_FALSE(model.CheckOneTarif.value());

    // With the log switched off nothing is logged, the zone is still kept.
    engine.log().CheckBox_Terminal.set(false);
    const auto lines = engine.log().lineCount();
    model.picker(2).set(QTime(9, 0));
    model.BtnReadSchedule.execute();
    runQueue();
    EXPECT_EQ(model.picker(2).value(), QTime(9, 0));
    EXPECT_EQ(engine.log().lineCount(), lines);
}

TEST_F(ScheduleEngineTest, EmptySlotsLeaveEmptyListsAndSixteenDisableAdd)
{
    connect();
    model.CheckOneTarif.edit(false);
    model.BtnReadSchedule.execute();
    runQueue();
    EXPECT_TRUE(model.ListCel.value().isEmpty());
    EXPECT_TRUE(model.ListTransfer.value().isEmpty());
    EXPECT_TRUE(model.BtnInsCel.isEnabled());

    for (int i = 0; i < 16; ++i) {
        meter.holidays[i] = std::array<quint8, 2>{BcdEncode(16 - i), 0x03};
        meter.transfers[i] = std::array<quint8, 4>{BcdEncode(i + 1), 0x05, 0x07, 0x03};
    }
    meter.masks = {0x01, 0x00, 0xFF, 0x80, 0x7F, 0x10};
    model.BtnReadSchedule.execute();
    runQueue();
    ASSERT_EQ(model.ListCel.value().size(), 16);
    EXPECT_EQ(model.ListCel.value()[0], (HolidayEntry{16, 3})); // slot order, not sorted
    EXPECT_FALSE(model.BtnInsCel.isEnabled());
    EXPECT_FALSE(model.BtnInsTrans.isEnabled());
    ASSERT_EQ(model.ListTransfer.value().size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(model.ListTransfer.value()[i].date, QDate(2007, 5, i + 1)) << i;
    EXPECT_EQ(model.ListTransfer.value()[4], (TransferEntry{QDate(2007, 5, 5), 3}));
    EXPECT_EQ(model.StringAttrib.value(), (MaskTable{0x01, 0x00, 0xFF, 0x80, 0x7F, 0x10}));
}

TEST_F(ScheduleEngineTest, DecoderMasksOfAnotherLengthEmptyTheGrid)
{
    model.decodeMasks(AppendCrc(Bytes({0x2E, 0x03, 0x00})));
    EXPECT_EQ(model.StringAttrib.value(), MaskTable{});
    model.decodeZoneTable(AppendCrc(Bytes({0x08, 0x03, 0x00})));
    EXPECT_FALSE(model.CheckOneTarif.value());
    EXPECT_EQ(model.schedule().zones, InitialZones());
}

} // namespace
} // namespace ordan
