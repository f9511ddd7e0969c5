#include "bench_meter.h"

#include "core/errors.h"
#include "meter/parameter_decoders.h"
#include "meter/settings_writer.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::Hex;

// Frames as the queue holds them: hex text with the CRC.
QString Frame(const QByteArray &body) { return Hex(AppendCrc(body)); }

// A connected engine whose meter never answers: what ActionSetting queues stays in the queue
// behind the version request that is in flight.
struct MeterWriterTest : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    VirtualTimers timers;
    test::FakeLine line{timers};
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    test::MeterHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    std::unique_ptr<MeterPanel> panel;

    explicit MeterWriterTest(Modes modes = {})
    {
        panel = std::make_unique<MeterPanel>(engine, op, facts, modes);
        host.panel = panel.get();
        EXPECT_TRUE(engine.connectLine(QStringLiteral("/dev/ttyW"), 4800));
        timers.advance(100);
        p().DatePicker.edit(QDate(2026, 3, 9));
        p().TimePicker.edit(QTime(7, 5, 9));
        // As after a poll cycle: the meter's identity is on screen.
        p().identityRead = true;
        panel->setWriteActionsEnabled(true);
    }
    ~MeterWriterTest() override { host.panel = nullptr; }

    MeterParameters &p() { return panel->parameters(); }

    // The frames queued after the request in flight.
    std::vector<QString> queued() const
    {
        std::vector<QString> out;
        for (qsizetype i = 1; i < engine.commands().size(); ++i)
            out.push_back(Hex(engine.commands().at(i)));
        return out;
    }
    std::vector<QString> write()
    {
        EXPECT_TRUE(p().ActionSetting.execute());
        return queued();
    }
};

TEST_F(MeterWriterTest, DefaultLocalSequenceIsAccessPasswordAndClock)
{
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_EQ(write(),
              (std::vector<QString>{Frame(Bytes({0x14, 0x04, 0x01, 0x00})),
                                    Frame(Bytes({0x05, 0x0A, 0x09, 0x05, 0x07, 0x01, 0x09, 0x03, 0x26, 0x00}))}));
    EXPECT_TRUE(engine.writePending(WriteKind::Settings));
    EXPECT_EQ(Hex(engine.commands().at(0)), QStringLiteral("00 02 80 71")) << "in flight, not displaced";
}

TEST_F(MeterWriterTest, ClockWithSummerTimeSwitching)
{
    p().CheckBoxClock.edit(true);
    const auto frames = write();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], Frame(Bytes({0x05, 0x0A, 0x09, 0x05, 0x07, 0x01, 0x09, 0x03, 0x26, 0x80})));
}

TEST_F(MeterWriterTest, PasswordsLowByteFirst)
{
    struct Case {
        const char *text;
        QByteArray bytes;
    };
    const Case cases[] = {{"255", Bytes({0xFF, 0x00})},
                          {"256", Bytes({0x00, 0x01})},
                          {"65535", Bytes({0xFF, 0xFF})},
                          {"0", Bytes({0x00, 0x00})}};
    for (const Case &c : cases)
        EXPECT_EQ(Hex(PasswordFrameBody(QLatin1String(c.text))), Hex(Bytes({0x14, 0x04}) + c.bytes)) << c.text;
    EXPECT_EQ(Hex(PasswordFrameBody(QStringLiteral("abc"))), QStringLiteral("14 04 00 00"));

    p().LabeledPass2.edit(QStringLiteral("65535"));
    EXPECT_EQ(write().front(), Frame(Bytes({0x14, 0x04, 0xFF, 0xFF})));
}

TEST_F(MeterWriterTest, NewPasswordOnlyWhenTheTextsDiffer)
{
    p().CheckTime.edit(false);
    p().CheckPassword.edit(true);
    EXPECT_EQ(write().size(), 1u) << "same text in both fields";

    p().LabeledPass1.edit(QStringLiteral("01"));
    const auto frames = write();
    ASSERT_EQ(frames.size(), 3u) << "texts that read as one number still differ";
    EXPECT_EQ(frames[1], Frame(Bytes({0x14, 0x04, 0x01, 0x00})));
    EXPECT_EQ(frames[2], Frame(Bytes({0x14, 0x04, 0x01, 0x00})));
}

TEST_F(MeterWriterTest, EverySettingInItsOrder)
{
    MeterParameters &m = p();
    m.CheckPassword.edit(true);
    m.LabeledPass1.edit(QStringLiteral("300"));
    m.CheckStatus.edit(true);
    m.SpinEdit_Number.edit(77881);
    m.CheckAddr.edit(true);
    m.SpinNewAddr.edit(45);
    m.CheckShedule.edit(true);
    m.SpinHour.edit(7);
    m.SpinDay.edit(25);
    m.CheckDDM.edit(true);
    m.SpinEditA.edit(1);
    m.SpinEditB.edit(2);
    m.SpinEditC.edit(70000);
    m.CheckIndi.edit(true);
    m.CheckBox1.edit(true);
    m.CheckBox3.edit(true);
    m.CheckResetTariff.set(true);
    const QByteArray zones =
        Bytes({0x09, 0x14, 1, 0, 0, 2, 6, 0x30, 3, 8, 0x30, 2, 0x11, 0x30, 3, 0x17, 0x30, 2, 0x20, 0x30});
    panel->hooks.scheduleZonesBody = [&] { return std::optional<QByteArray>(zones); };

    EXPECT_EQ(write(), (std::vector<QString>{
                           Frame(Bytes({0x14, 0x04, 0x01, 0x00})),
                           Frame(Bytes({0x05, 0x0A, 0x09, 0x05, 0x07, 0x01, 0x09, 0x03, 0x26, 0x00})),
                           Frame(Bytes({0x14, 0x04, 0x2C, 0x01})),
                           Frame(Bytes({0x07, 0x02})),
                           Frame(Bytes({0x02, 0x05, 0x39, 0x30, 0x01})),
                           Frame(Bytes({0x03, 0x03, 45})),
                           Frame(zones),
                           Frame(Bytes({0x23, 0x04, 0x07, 0x25})),
                           Frame(Bytes({0x0B, 0x0B, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x70, 0x11, 0x01})),
                           Frame(Bytes({0x0E, 0x03, 0x05})),
                           Frame(Bytes({0x09, 0x02})),
                       }));
}

TEST_F(MeterWriterTest, SingleTariffAndScheduleResetSendTheShortScheduleTwice)
{
    p().CheckTime.edit(false);
    p().CheckShedule.edit(true);
    p().CheckResetTariff.set(true);
    panel->hooks.oneTariff = [] { return true; };
    bool zonesAsked = false;
    panel->hooks.scheduleZonesBody = [&] {
        zonesAsked = true;
        return std::optional<QByteArray>();
    };
    EXPECT_EQ(write(), (std::vector<QString>{Frame(Bytes({0x14, 0x04, 0x01, 0x00})), QStringLiteral("09 02 86 21"),
                                             Frame(Bytes({0x23, 0x04, 0x00, 0x01})), QStringLiteral("09 02 86 21")}));
    EXPECT_FALSE(zonesAsked);
}

TEST_F(MeterWriterTest, ScheduleThatCannotBeWrittenStopsTheWholeWrite)
{
    p().CheckShedule.edit(true);
    panel->hooks.scheduleZonesBody = [] { return std::optional<QByteArray>(); };
    EXPECT_TRUE(write().empty());
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_TRUE(op.boxes.empty()) << "the schedule has told the operator";
}

struct MeterEngineeringWriterTest : MeterWriterTest {
    MeterEngineeringWriterTest() : MeterWriterTest(Modes{3, false, false}) {}
};

TEST_F(MeterEngineeringWriterTest, DisplayedSerialNumberIsNeverWrittenBack)
{
    DecodeSerialNumber(AppendCrc(Bytes({0x01, 0x05, 0x39, 0x30, 0x01})), p(), {});
    EXPECT_EQ(p().SpinEdit_Number.value(), 77881);
    for (const QString &f : write())
        EXPECT_FALSE(f.startsWith(QStringLiteral("02 05"))) << f.toStdString();
}

TEST_F(MeterWriterTest, DdmNumbersOutsideTheFrameAreRefused)
{
    p().CheckDDM.edit(true);
    p().SpinEditB.edit(-2);
    EXPECT_TRUE(write().empty());
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].caption, QStringLiteral("Ошибка"));
    p().SpinEditB.edit(16777215);
    const auto frames = write();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), Frame(Bytes({0x0B, 0x0B, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0})));
}

TEST(MeterPasswordRule, EnablingOfTheWrite)
{
    struct Case {
        bool connected;
        const char *access;
        const char *fresh;
        bool writeFresh;
        bool enabled;
    };
    const Case cases[] = {
        {true, "1", "1", false, true},      {false, "1", "1", false, false},  {true, "", "1", false, false},
        {true, "x", "1", false, false},     {true, "65535", "0", true, true}, {true, "65536", "1", false, false},
        {true, "-1", "1", false, false},    {true, "1", "x", false, true},    {true, "1", "x", true, false},
        {true, "1", "70000", false, false}, {true, "1", "-5", false, false},  {true, "1", "65535", true, true},
        {true, "007", "", true, false},     {true, "007", "", false, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PasswordRuleHolds(c.connected, QLatin1String(c.access), QLatin1String(c.fresh), c.writeFresh),
                  c.enabled)
            << c.access << " / " << c.fresh << " / " << c.writeFresh << " / " << c.connected;
}

TEST_F(MeterWriterTest, PasswordEditsDecideTheActionAndAddressTheNeighbourOnce)
{
    engine.setPasswordChanged(false);
    p().LabeledPass2.edit(QStringLiteral("abc"));
    EXPECT_TRUE(engine.passwordChanged());
    EXPECT_FALSE(p().ActionSetting.isEnabled());
    panel->setWriteActionsEnabled(true);
    EXPECT_FALSE(p().ActionSetting.isEnabled()) << "a reply does not override the password rule";
    p().LabeledPass2.edit(QStringLiteral("12"));
    EXPECT_TRUE(p().ActionSetting.isEnabled());
    p().LabeledPass1.edit(QStringLiteral("x"));
    EXPECT_TRUE(p().ActionSetting.isEnabled());
    p().CheckPassword.edit(true);
    EXPECT_FALSE(p().ActionSetting.isEnabled());
    panel->setWriteActionsEnabled(false);
    p().CheckPassword.edit(false);
    EXPECT_TRUE(p().ActionSetting.isEnabled());
}

TEST_F(MeterWriterTest, TheRuleIsTestedAgainWhenTheActionRuns)
{
    p().CheckPassword.set(true);
    p().LabeledPass1.set(QStringLiteral("x"));
    ASSERT_TRUE(p().ActionSetting.isEnabled()) << "set() runs no change handler";
    p().ActionSetting.execute();
    EXPECT_TRUE(queued().empty());
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_FALSE(p().ActionSetting.isEnabled());
}

TEST_F(MeterWriterTest, BillingDayResetQueuesPasswordAndResetEachTime)
{
    p().LabeledPass2.edit(QStringLiteral("258"));
    EXPECT_TRUE(p().BitBtn5.execute());
    EXPECT_TRUE(p().BitBtn5.execute());
    const QString pass = Frame(Bytes({0x14, 0x04, 0x02, 0x01}));
    const QString reset = Frame(Bytes({0x24, 0x02}));
    EXPECT_EQ(queued(), (std::vector<QString>{pass, reset, pass, reset}));
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
}

struct MeterSqlWriterTest : MeterWriterTest {
    MeterSqlWriterTest() : MeterWriterTest(Modes{3, true, false}) {}
};

TEST_F(MeterSqlWriterTest, ClockIsTakenFromTheServerFirst)
{
    std::vector<QString> calls;
    panel->hooks.prepareSettingsWrite = [&](int, std::function<void(bool)> proceed) {
        calls.push_back(QStringLiteral("sync, queue of ") + QString::number(engine.commands().size()));
        proceed(true);
    };
    const auto frames = write();
    EXPECT_EQ(calls, std::vector<QString>{QStringLiteral("sync, queue of 1")});
    ASSERT_EQ(frames.size(), 3u) << "the address is written in database mode";
    EXPECT_EQ(frames[2], Frame(Bytes({0x03, 0x03, 0x01})));
}

TEST_F(MeterSqlWriterTest, ServerClockFailureQueuesNothing)
{
    // The hook has told the operator why (the database's own report) and says no.
    panel->hooks.prepareSettingsWrite = [](int, std::function<void(bool)> proceed) { proceed(false); };
    EXPECT_TRUE(write().empty());
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(MeterSqlWriterTest, F12WhileTheServerIsAskedQueuesOneWriteWhenItAnswers)
{
    std::function<void(bool)> answer;
    int asked = 0;
    panel->hooks.prepareSettingsWrite = [&](int, std::function<void(bool)> proceed) {
        ++asked;
        answer = std::move(proceed);
    };
    EXPECT_TRUE(write().empty());
    EXPECT_TRUE(write().empty()) << "a second F12 while waiting adds nothing";
    EXPECT_EQ(asked, 1);
    answer(true);
    EXPECT_TRUE(engine.writePending(WriteKind::Settings));
}

// On virtual time against a meter that checks its password.
struct MeterWriteOnTheBench : test::MeterBenchFixture {
    void SetUp() override
    {
        connect();
        ASSERT_TRUE(exchange(3));
    }
    void press() { ASSERT_TRUE(p().ActionSetting.execute()); }
    bool finished()
    {
        return timers.advanceUntil([&] { return !engine.writePending(WriteKind::Settings); }, 60000);
    }
};

TEST_F(MeterWriteOnTheBench, SuccessLightsGreenRecordsOnceAndReadsBack)
{
    const int clearsBefore = host.clears;
    press();
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Green);
    EXPECT_EQ(host.records, 1);
    EXPECT_EQ(host.clears, clearsBefore + 1);
    ASSERT_EQ(meter.writes.size(), 1u);
    EXPECT_EQ(ByteAt(meter.writes[0], 0), 0x05);
    EXPECT_TRUE(op.boxes.empty());
    timers.advance(2000);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
    EXPECT_EQ(host.records, 1);
}

TEST_F(MeterWriteOnTheBench, WrongAccessPasswordIsRedWithTheBoxAndNoRecord)
{
    meter.password = 7;
    press();
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Red);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, Engine::WriteErrorText());
    EXPECT_EQ(host.records, 0);
    EXPECT_TRUE(meter.writes.empty());
    EXPECT_NE(
        std::find(engine.log().lines().begin(), engine.log().lines().end(), QStringLiteral("Ошибка: Доступ запрещен")),
        engine.log().lines().end());
}

TEST_F(MeterWriteOnTheBench, SecondPressWhileTheFirstRunsAppendsAndRecordsOnce)
{
    press();
    press();
    ASSERT_TRUE(finished());
    EXPECT_EQ(host.records, 1);
    EXPECT_EQ(meter.writes.size(), 2u);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Green);
}

TEST_F(MeterWriteOnTheBench, AcknowledgedAddressIsUsedFromTheNextRequestOn)
{
    p().CheckAddr.edit(true);
    p().SpinNewAddr.edit(9);
    p().CheckTime.edit(false);
    p().CheckDDM.edit(true);
    press();
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.panel().SpinAddr.value(), 9);
    EXPECT_EQ(meter.tiny.address, 9);
    ASSERT_EQ(meter.writes.size(), 2u);
    EXPECT_EQ(ByteAt(meter.writes[1], 0), 0x0B) << "the DDM numbers went to the new address";
    ASSERT_TRUE(exchange(1));
    EXPECT_EQ(line.addressBytes().back(), 9);
    EXPECT_EQ(host.records, 1);
}

TEST_F(MeterWriteOnTheBench, FailedAddressWriteKeepsTheOldAddress)
{
    meter.refused.insert(0x03);
    p().CheckAddr.edit(true);
    p().SpinNewAddr.edit(9);
    press();
    ASSERT_TRUE(finished());
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Red);
    EXPECT_EQ(engine.panel().SpinAddr.value(), 0);
    ASSERT_TRUE(op.closeBox());
    ASSERT_TRUE(exchange(2));
    EXPECT_EQ(line.addressBytes().back(), 0);
}

TEST_F(MeterWriteOnTheBench, NewPasswordBecomesTheAccessPasswordOnceTheMeterHasIt)
{
    p().CheckTime.edit(false);
    p().CheckPassword.edit(true);
    p().LabeledPass1.edit(QStringLiteral("5"));
    // The edit sends one exchange to the neighbouring address first.
    press();
    // Once the second code 20 is on the wire, the station has taken the reply to the first.
    auto passwordFrames = [&] {
        int n = 0;
        for (const QByteArray &r : line.requests())
            n += ByteAt(r, 0) == 0x14 ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(timers.advanceUntil([&] { return passwordFrames() == 2; }, 60000));
    EXPECT_EQ(p().LabeledPass2.value(), QStringLiteral("1")) << "the access frame changes nothing";
    ASSERT_TRUE(finished());
    EXPECT_EQ(meter.password, 5);
    EXPECT_EQ(p().LabeledPass2.value(), QStringLiteral("5"));
    EXPECT_FALSE(engine.passwordChanged());
    EXPECT_EQ(host.records, 1);
}

TEST_F(MeterWriteOnTheBench, BillingDayResetNeitherRecordsNorTakesTheNewPassword)
{
    p().CheckPassword.edit(true);
    p().LabeledPass1.edit(QStringLiteral("5"));
    ASSERT_TRUE(p().BitBtn5.execute());
    ASSERT_TRUE(timers.advanceUntil([&] { return !meter.writes.empty(); }, 60000));
    ASSERT_TRUE(exchange(1));
    EXPECT_EQ(Hex(meter.writes[0]), QStringLiteral("24 02"));
    EXPECT_EQ(p().LabeledPass2.value(), QStringLiteral("1"));
    EXPECT_EQ(meter.password, 1);
    EXPECT_EQ(host.records, 0);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
}

} // namespace
} // namespace ordan
