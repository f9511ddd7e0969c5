#include "bench_meter.h"

#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

// The station's engine and meter parameters against the simulated meter, on virtual time.
struct MeterSimulatedBench : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    VirtualTimers timers;
    SimulatedMeter meter{[this] { return timers.now(); }, State()};
    MeterEndpoint endpoint{meter};
    SimulatedLine line{timers, endpoint};
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    test::MeterHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    MeterPanel panel{engine, op, facts, Modes{}};

    static MeterState State()
    {
        MeterState s = SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
        s.energyPerHour = 0; // readings that stay put while the test reads them
        s.statusWord = 0x0601;
        s.radioStatus = 0xC9;
        s.password = 1;
        return s;
    }

    MeterSimulatedBench()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        host.panel = &panel;
    }
    ~MeterSimulatedBench() override { host.panel = nullptr; }

    MeterParameters &p() { return panel.parameters(); }

    bool cycle()
    {
        const size_t before = endpoint.requests().size();
        // The version request, then the eleven steps of a version 10 meter.
        return timers.advanceUntil([&] { return endpoint.requests().size() >= before + 12 && !engine.awaitingReply(); },
                                   60000);
    }
};

TEST_F(MeterSimulatedBench, OnePollCycleShowsTheMeter)
{
    p().CheckDdmRead.set(false);
    ASSERT_TRUE(engine.connectLine(QStringLiteral("COM1"), 4800));
    ASSERT_TRUE(cycle());

    EXPECT_EQ(p().LabeledVersion.value(), QStringLiteral("10.3"));
    EXPECT_EQ(engine.meterVersion(), 10);
    EXPECT_EQ(p().SpinEdit_Number.value(), 77881);
    EXPECT_TRUE(p().LabeledCurTime.value().startsWith(QStringLiteral("08.12.2026 10:15:3")))
        << p().LabeledCurTime.value().toStdString();
    EXPECT_EQ(p().LabeledOff.value(), QStringLiteral("17520:0"));
    EXPECT_EQ(p().LabeledNCorrect.value(), QStringLiteral("3"));
    EXPECT_EQ(p().Memo1.value(), (QStringList{QStringLiteral("Фаза A : номер ДДМ не установлен."),
                                              QStringLiteral("Дата и время таймера не установлены."),
                                              QStringLiteral("Неисправность таймера календаря.")}));
    EXPECT_EQ(p().RadioStatus, 0xC9);
    EXPECT_EQ(p().GridValue.value()[1][1], QStringLiteral("1203,08625"));
    EXPECT_EQ(p().GridValue.value()[4][1], QStringLiteral("2105,40000"));
    EXPECT_EQ(p().GridValue_1.value()[1][1], QStringLiteral("1175,00000"));
    EXPECT_EQ(p().SpinEditA.value(), 100201);
    EXPECT_EQ(p().LabelA.value(), QStringLiteral("08.11.2026 10:15:30"));
    EXPECT_TRUE(engine.log().lines().empty());
}

TEST_F(MeterSimulatedBench, SettingsWriteReachesTheMeter)
{
    ASSERT_TRUE(engine.connectLine(QStringLiteral("COM1"), 4800));
    ASSERT_TRUE(cycle());
    p().DatePicker.edit(QDate(2027, 1, 2));
    p().TimePicker.edit(QTime(3, 4, 5));
    p().CheckIndi.edit(true);
    p().CheckBox1.edit(true);
    p().CheckBox2.edit(false);
    p().CheckBox3.edit(false);
    p().CheckBox4.edit(false);
    p().CheckShedule.edit(true);
    p().SpinDay.edit(25);
    p().SpinHour.edit(7);
    panel.hooks.oneTariff = [] { return true; };
    ASSERT_TRUE(p().ActionSetting.execute());
    ASSERT_TRUE(timers.advanceUntil([&] { return !engine.writePending(WriteKind::Settings); }, 60000));
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Green);
    EXPECT_EQ(host.records, 1);
    meter.sync();
    EXPECT_EQ(meter.state().clock().date(), QDate(2027, 1, 2));
    EXPECT_EQ(meter.state().indicationMask, 0x01);
    EXPECT_EQ(meter.state().billingDay, 25);
    EXPECT_EQ(meter.state().billingHour, 7);
    EXPECT_TRUE(meter.state().singleTariff);
}

} // namespace
} // namespace ordan
