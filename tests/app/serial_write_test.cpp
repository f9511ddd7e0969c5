// A settings write through the station's real serial path (SerialPortLine on Qt's timers)
// against the meter-sim program on a pseudo-terminal.
#include "meter/meter_panel.h"
#include "serial_station.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

struct SerialStation {
    test::MeterSimProcess sim{{QStringLiteral("--baud"), QStringLiteral("9600")}};
    test::SerialStationParts parts;
    test::FakeOperator &op = parts.op;
    std::unique_ptr<Station> station;
    int records = 0;

    SerialStation()
    {
        station = parts.start(sim.device());
        QObject::connect(station.get(), &Station::programmingFinished, [this] { ++records; });
    }
    ~SerialStation() { station.reset(); }
    const QString &device() const { return sim.device(); }
    MeterParameters &p() { return station->meter().parameters(); }
    bool connectAndReadOneCycle()
    {
        station->ActionConnect.execute();
        return QTest::qWaitFor([this] { return station->engine().sendCount() >= 13; }, 10000);
    }
};

TEST(SerialWrite, EverySelectionReachesTheMeterAndReadsBack)
{
    SerialStation s;
    ASSERT_FALSE(s.device().isEmpty());
    MeterParameters &p = s.p();
    ASSERT_TRUE(s.connectAndReadOneCycle());
    EXPECT_EQ(p.SpinEdit_Number.value(), 77881);

    for (BoolField *readSwitch : {&p.CheckReadTarif, &p.CheckNoIndi, &p.CheckDdmRead})
        readSwitch->edit(false);
    p.CheckAddr.edit(true);
    p.SpinNewAddr.edit(5);
    p.CheckPassword.edit(true);
    p.LabeledPass1.edit(QStringLiteral("7"));
    p.CheckDDM.edit(true);
    p.SpinEditA.edit(1);
    p.SpinEditB.edit(2);
    p.SpinEditC.edit(70000);
    p.CheckIndi.edit(true);
    p.CheckBox1.edit(true);
    p.CheckBox2.edit(false);
    p.CheckBox3.edit(true);
    p.CheckBox4.edit(false);
    p.CheckShedule.edit(true);
    p.SpinDay.edit(25);
    p.SpinHour.edit(7);
    p.CheckStatus.edit(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ActionSetting.isEnabled(); }, 5000));
    p.ActionSetting.execute();

    ASSERT_TRUE(QTest::qWaitFor([&] { return s.station->panel().Shape1.value() == Indicator::Green; }, 10000));
    EXPECT_EQ(s.records, 1);
    EXPECT_TRUE(s.op.boxes.empty());
    EXPECT_EQ(s.station->panel().SpinAddr.value(), 5) << "the next requests go to the new address";
    EXPECT_EQ(p.LabeledPass2.value(), QStringLiteral("7"));

    // The next poll cycle shows the meter's new state.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p.SpinDay.value() == 25 && p.SpinEditC.value() == 70000 && !p.LabeledCurTime.value().isEmpty(); },
        10000));
    EXPECT_EQ(p.SpinHour.value(), 7);
    EXPECT_EQ(p.SpinEditA.value(), 1);
    EXPECT_EQ(p.SpinEditB.value(), 2);
    EXPECT_TRUE(p.CheckBox1.value());
    EXPECT_FALSE(p.CheckBox2.value());
    EXPECT_TRUE(p.CheckBox3.value());
    // The clock went out from the pickers, which follow the PC clock of 9 March 2026.
    EXPECT_TRUE(p.LabeledCurTime.value().contains(QLocale().toString(QDate(2026, 3, 9), QLocale::ShortFormat)))
        << p.LabeledCurTime.value().toStdString();
    EXPECT_EQ(s.station->engine().timeoutCount(), 0);
    EXPECT_EQ(s.records, 1);
}

TEST(SerialWrite, WrongAccessPasswordGivesRedTheBoxAndNoRecord)
{
    SerialStation s;
    ASSERT_FALSE(s.device().isEmpty());
    MeterParameters &p = s.p();
    ASSERT_TRUE(s.connectAndReadOneCycle());
    p.LabeledPass2.edit(QStringLiteral("9"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ActionSetting.isEnabled(); }, 5000));
    p.ActionSetting.execute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.op.boxes.empty(); }, 10000));
    EXPECT_EQ(s.op.boxes[0].text, Engine::WriteErrorText());
    EXPECT_EQ(s.station->panel().Shape1.value(), Indicator::Red);
    bool denied = false;
    for (const QString &line : s.station->engine().log().lines())
        denied = denied || line == QStringLiteral("Ошибка: Доступ запрещен");
    EXPECT_TRUE(denied);
    EXPECT_EQ(s.records, 0);
    s.op.closeBox();
    const qint32 sent = s.station->engine().sendCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.station->engine().sendCount() > sent + 2; }, 5000)) << "polling resumes";
}

TEST(SerialWrite, ASecondF12WhileTheFirstRunsAppendsAndRecordsOnce)
{
    SerialStation s;
    ASSERT_FALSE(s.device().isEmpty());
    MeterParameters &p = s.p();
    ASSERT_TRUE(s.connectAndReadOneCycle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ActionSetting.isEnabled(); }, 5000));
    p.ActionSetting.execute();
    p.ActionSetting.execute();
    EXPECT_GE(s.station->engine().commands().size(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.station->panel().Shape1.value() == Indicator::Green; }, 10000));
    EXPECT_EQ(s.records, 1);
    QTest::qWait(300);
    EXPECT_EQ(s.records, 1);
}

} // namespace
} // namespace ordan
