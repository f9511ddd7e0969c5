#include "bench_meter.h"
#include "link/catalogue.h"
#include "link/poll_cycle.h"
#include "link/reply_judge.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::MeterBenchFixture;

TEST_F(MeterBenchFixture, OnePollCycleFillsThePages)
{
    p().CheckReadTarif.set(false);
    p().CheckNoIndi.set(false);
    p().CheckDdmRead.set(false);
    connect();
    // Version first, then the eleven poll steps of a version 10 meter.
    ASSERT_TRUE(exchange(12));
    ASSERT_EQ(engine.meterVersion(), 10);

    EXPECT_EQ(p().LabeledVersion.value(), QStringLiteral("10.3"));
    EXPECT_EQ(p().SpinEdit_Number.value(), 77881);
    EXPECT_FALSE(p().SpinEdit_Number.isEnabled());
    EXPECT_EQ(p().LabeledCurTime.value(), QStringLiteral("08.12.2026 10:15:30"));
    EXPECT_TRUE(p().CheckSummer.value());
    EXPECT_EQ(p().LabeledOff.value(), QStringLiteral("1:2"));
    EXPECT_EQ(p().LabeledNCorrect.value(), QStringLiteral("3"));
    EXPECT_EQ(p().Memo1.value(),
              (QStringList{QStringLiteral("Фиксация нарушения режима потребления."),
                           QStringLiteral("Фаза A : нет связи с ДДМ."), QStringLiteral("Фаза B : нет связи с ДДМ.")}));
    EXPECT_EQ(p().StatusWord, 0x0812);
    EXPECT_EQ(p().RadioStatus, 0xC9);
    EXPECT_EQ(p().GridValue.value()[1][1], QStringLiteral("1,00000"));
    EXPECT_EQ(p().GridValue.value()[4][1], QStringLiteral("3,00025"));
    EXPECT_EQ(p().GridValue_1.value()[4][1], QStringLiteral("0,03000"));
    EXPECT_TRUE(p().CheckBox1.value());
    EXPECT_FALSE(p().CheckBox2.value());
    EXPECT_TRUE(p().CheckBox3.value());
    EXPECT_EQ(p().SpinEditC.value(), 70000);
    EXPECT_EQ(p().SpinDay.value(), 25);
    EXPECT_EQ(p().SpinHour.value(), 7);
    EXPECT_EQ(p().LabelA.value(), QStringLiteral("02.01.2000 01:00:00"));
    EXPECT_TRUE(p().LabelC.value().isEmpty());
    EXPECT_TRUE(p().ActionSetting.isEnabled()) << "every reply enables writing";
    EXPECT_TRUE(engine.log().lines().empty());
}

// Each polled code's reply one byte shorter than the least its decoder takes: no field shows
// a value, and the log says why once per reply.
TEST_F(MeterBenchFixture, ReplyOneByteShortShowsNoValue)
{
    struct Row {
        FunctionCode code;
        int least; // the length byte of the shortest reply the decoder takes
        std::function<bool(MeterParameters &)> empty;
    };
    using enum FunctionCode;
    const Row rows[] = {
        {ReadFirmwareVersion, 4, [](MeterParameters &m) { return m.LabeledVersion.value().isEmpty(); }},
        {ReadSerialNumber, 5, [](MeterParameters &m) { return m.SpinEdit_Number.value() == 0; }},
        {ReadClock, 10, [](MeterParameters &m) { return m.LabeledCurTime.value().isEmpty(); }},
        {ReadIndication, 3, [](MeterParameters &m) { return !m.CheckBox1.value() && !m.CheckBox3.value(); }},
        {ReadReadings, 17, [](MeterParameters &m) { return m.GridValue.value()[4][1].isEmpty(); }},
        {ReadDdmNumbers, 11, [](MeterParameters &m) { return m.SpinEditC.value() == 0; }},
        {ReadOperatingTime, 6, [](MeterParameters &m) { return m.LabeledOff.value().isEmpty(); }},
        {ReadRadioStatus, 3, [](MeterParameters &m) { return m.RadioStatus == 0; }},
        {ReadStatus, 4, [](MeterParameters &m) { return m.StatusWord == 0 && m.Memo1.value().isEmpty(); }},
        {ReadBillingDay, 4, [](MeterParameters &m) { return m.SpinDay.value() == 1 && m.SpinHour.value() == 0; }},
        {ReadDdmTimes, 17, [](MeterParameters &m) { return m.LabelA.value().isEmpty(); }},
    };
    ASSERT_EQ(std::size(rows), std::size(kPollCodes));
    for (const Row &row : rows) {
        const CommandInfo &info = CommandOf(row.code);
        EXPECT_EQ(info.shortReplyLength != 0 ? info.shortReplyLength : info.replyLength, row.least) << info.what;
        meter.payloads[CodeByte(row.code)].resize(row.least - 3);
    }
    p().CheckReadTarif.set(false);
    p().CheckNoIndi.set(false);
    p().CheckDdmRead.set(false);
    engine.setMeterVersion(10);
    connect();
    ASSERT_TRUE(exchange(12));

    const std::deque<QString> &log = engine.log().lines();
    for (const Row &row : rows) {
        SCOPED_TRACE(CommandOf(row.code).what);
        EXPECT_TRUE(row.empty(p()));
        const QString why = ShortReplyMessage(Bytes({CodeByte(row.code), row.least - 1}), row.code);
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString &l) { return l.endsWith(why); }))
            << why.toStdString();
    }
}

TEST_F(MeterBenchFixture, ClockFollowerKeepsThePickersOnThePcClockUntilEdited)
{
    timers.advance(500);
    EXPECT_EQ(p().DatePicker.value(), QDate(2026, 12, 8));
    EXPECT_EQ(p().TimePicker.value(), QTime(10, 15, 30));
    timers.advance(1000);
    EXPECT_EQ(p().TimePicker.value(), QTime(10, 15, 31));
    p().TimePicker.edit(QTime(7, 0));
    timers.advance(1000);
    EXPECT_EQ(p().TimePicker.value(), QTime(7, 0));
    EXPECT_EQ(p().DatePicker.mark(), 0);
    p().ClearMeterData();
    timers.advance(500);
    EXPECT_EQ(p().TimePicker.value(), QTime(10, 15, 33));
}

TEST_F(MeterBenchFixture, DisconnectBlanksTheMeterButNotTheReadings)
{
    connect();
    ASSERT_TRUE(exchange(12));
    ASSERT_TRUE(engine.disconnectLine());
    EXPECT_EQ(p().SpinEdit_Number.value(), 0);
    EXPECT_TRUE(p().LabeledVersion.value().isEmpty());
    EXPECT_TRUE(p().Memo1.value().isEmpty());
    EXPECT_EQ(p().GridValue.value()[1][1], QStringLiteral("1,00000"));
    EXPECT_FALSE(p().ActionSetting.isEnabled());
}

TEST_F(MeterBenchFixture, EngineOutlivesThePanel)
{
    connect();
    host.panel = nullptr;
    panel.reset();
    EXPECT_TRUE(exchange(12)) << "replies to the panel's codes reach no decoder of a panel that is gone";
}

struct MeterSqlBench : MeterBenchFixture {
    MeterSqlBench() : MeterBenchFixture(Modes{3, true, false}) {}
};

TEST_F(MeterSqlBench, DriftFromTheLastClockSettingAndTheNewAddress)
{
    int lookups = 0;
    panel->hooks.lastClockSet = [&](int serial) {
        ++lookups;
        EXPECT_EQ(serial, 77881);
        p().LastClockSet = facts.now().addDays(-10);
    };
    meter.clockPayload = [this] {
        const QDateTime ahead = facts.now().addSecs(5);
        return ClockPayload(ahead.date(), ahead.time(), true);
    };
    connect();
    ASSERT_TRUE(exchange(12));
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(p().SpinNewAddr.value(), 81);
    EXPECT_EQ(p().DriftCount, 1);
    // The meter's clock has whole seconds: between 4 and 5 s ahead over ten days.
    bool ok = false;
    const double shown = QLocale().toDouble(p().LabeledDelta.value(), &ok);
    EXPECT_TRUE(ok) << p().LabeledDelta.value().toStdString();
    EXPECT_GE(shown, 0.4);
    EXPECT_LE(shown, 0.5);
}

} // namespace
} // namespace ordan
