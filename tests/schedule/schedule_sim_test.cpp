#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/engine.h"
#include "schedule/schedule_model.h"
#include "schedule_fixture.h"
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

// The schedule page model and the engine against the simulated meter, on virtual time.
struct ScheduleSimTest : ::testing::Test {
    VirtualTimers timers;
    SimulatedMeter meter{[this] { return timers.now(); },
                         SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))};
    MeterEndpoint endpoint{meter};
    SimulatedLine line{timers, endpoint};
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    test::ScheduleHost host;
    QString password = u"1"_s;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    ScheduleModel model{engine, op, facts, [this] { return password; }};

    ScheduleSimTest()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        meter.state().password = 1;
        engine.setDecoder(FunctionCode::ReadFirmwareVersion, [this](const QByteArray &r) {
            engine.setMeterVersion(BcdDecode(ByteAt(r, 3)));
            model.applyMeterVersion(engine.meterVersion());
        });
    }

    void connect()
    {
        ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
        model.setConnected(true);
        ASSERT_TRUE(timers.advanceUntil([this] { return engine.meterVersion() == 10; }, 5000));
    }
    bool settle()
    {
        return timers.advanceUntil([this] { return test::OnlyPollingQueued(engine); }, 120000);
    }
};

TEST_F(ScheduleSimTest, WrittenScheduleReadsBackIntoAClearedEditor)
{
    connect();
    model.CheckOneTarif.edit(false);
    model.picker(1).edit(QTime(7, 0));
    model.setZoneTariff(1, u"3"_s);
    model.StringAttribSelectCell(5, 2);
    model.StringAttribSelectCell(6, 2);
    model.ComboM.edit(9);
    model.SpinD.edit(14);
    model.BtnInsCel.execute();
    model.DTPTrans.edit(QDate(2027, 1, 9));
    model.ComboTrans.edit(4);
    model.BtnInsTrans.execute();
    model.DTPTrans.edit(QDate(2027, 3, 8));
    model.ComboTrans.edit(7);
    model.BtnInsTrans.execute();
    const TariffSchedule written = model.schedule();

    model.BtnWriteSchedule.execute();
    ASSERT_TRUE(timers.advanceUntil([this] { return engine.panel().Shape1.value() == Indicator::Green; }, 120000));
    EXPECT_EQ(host.records, 1);
    EXPECT_TRUE(op.boxes.empty());
    const MeterState &s = meter.state();
    EXPECT_FALSE(s.singleTariff);
    EXPECT_EQ(s.zones[1].tariff, 3);
    EXPECT_EQ(s.zones[1].hour, 7);
    EXPECT_EQ(s.dayTypeMasks[1], 0x9F);
    ASSERT_TRUE(s.holidays[12].has_value());
    EXPECT_EQ(s.holidays[11]->month, 10);
    EXPECT_EQ(s.holidays[11]->day, 14);
    ASSERT_TRUE(s.transfers[1].has_value());
    EXPECT_EQ(s.transfers[1]->dayType, 8);
    EXPECT_FALSE(s.transfers[2].has_value());

    TariffSchedule cleared;
    cleared.holidays.clear();
    model.setSchedule(cleared);
    model.BtnReadSchedule.execute();
    ASSERT_TRUE(settle());
    EXPECT_EQ(model.schedule(), written);
    EXPECT_EQ(host.records, 1);
}

TEST_F(ScheduleSimTest, WrongPasswordFailsWithTheRedIndicatorAndTheBox)
{
    connect();
    password = u"2"_s;
    model.CheckOneTarif.edit(false);
    model.BtnWriteSchedule.execute();
    ASSERT_TRUE(timers.advanceUntil([this] { return engine.panel().Shape1.value() == Indicator::Red; }, 120000));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, Engine::WriteErrorText());
    EXPECT_EQ(host.records, 0);
    EXPECT_FALSE(engine.writePending(WriteKind::Schedule));
}

} // namespace
} // namespace ordan
