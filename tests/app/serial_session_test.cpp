// A bench session on the station's real serial path against meter-sim: it polls for a bounded
// time with every exchange answered, writes the settings (F12) and records the row, and when
// meter-sim ends it reports the loss and goes quiet without spinning. Under Wine the rig starts
// meter-sim on the Linux side (see MeterSimProcess).
#include "meter/meter_panel.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "serial_station.h"
#include "support/result_checks.h"

#include <QtGlobal>
#include <gtest/gtest.h>

#include <cstdio>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <ctime>
#endif

namespace ordan {
namespace {

constexpr int kDefaultPollSeconds = 5;
constexpr int kQuietMs = 2000;
// Idle after the loss is a few wake-ups of the event loop, not a core's worth.
constexpr qint64 kQuietCpuMs = kQuietMs / 10;

qint64 ProcessCpuMs()
{
#if defined(Q_OS_WIN)
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    const auto ticks = [](const FILETIME &t) { return (qint64(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) / 10000;
#else
    timespec t{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0)
        return -1;
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
#endif
}

TEST(SerialSession, PollsWritesRecordsAndReportsTheLoss)
{
    test::MeterSimProcess sim{{QStringLiteral("--baud"), QStringLiteral("9600")}};
    ASSERT_FALSE(sim.device().isEmpty()) << "meter-sim did not come up";
    test::SerialStationParts parts;
    const QString tablePath = parts.dir.filePath(QStringLiteral("Setting.DBF"));
    QString error;
    ASSERT_TRUE(Succeeded(CreateSettingTable(tablePath), error)) << error.toStdString();
    DbfTable table(tablePath);
    std::unique_ptr<Station> station = parts.start(sim.device(), nullptr, &table);
    int records = 0;
    QObject::connect(station.get(), &Station::programmingFinished, [&] { ++records; });
    Engine &engine = station->engine();

    const int seconds = qEnvironmentVariableIntValue("ORDAN_SESSION_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("ORDAN_SESSION_SECONDS")
                            : kDefaultPollSeconds;
    // The plain face logs time-outs and failed replies only: any line is a bad exchange.
    engine.log().setEngineering(false);
    engine.log().CheckBox_Terminal.set(true);
    QStringList failures;
    QObject::connect(&engine.log(), &ExchangeLog::lineAdded, [&](const QString &line) { failures << line; });
    station->ActionConnect.execute();
    ASSERT_FALSE(station->ActionConnect.isEnabled()) << "the port did not open";
    QTest::qWait(seconds * 1000);
    const qint32 polled = engine.sendCount();
    std::printf("session: %d exchanges in %d s, %lld failed\n", polled, seconds,
                static_cast<long long>(failures.size()));
    EXPECT_GT(polled, seconds * 2);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();

    MeterParameters &p = station->meter().parameters();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ActionSetting.isEnabled(); }, 5000));
    p.ActionSetting.execute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station->panel().Shape1.value() == Indicator::Green; }, 10000));
    EXPECT_EQ(records, 1);
    EXPECT_EQ(Noted(table.rowCount(), error), 1) << error.toStdString();
    EXPECT_TRUE(parts.op.boxes.empty());

    sim.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station->ActionConnect.isEnabled(); }, 10000)) << "the loss is noticed";
    EXPECT_TRUE(engine.panel().StatusPanel1.value().startsWith(QStringLiteral("Связь потеряна: ")))
        << engine.panel().StatusPanel1.value().toStdString();
    const qint32 sent = engine.sendCount();
    const qint64 cpuBefore = ProcessCpuMs();
    QTest::qWait(kQuietMs);
    const qint64 cpu = ProcessCpuMs() - cpuBefore;
    std::printf("session: after the loss %lld ms of CPU in %d ms\n", static_cast<long long>(cpu), kQuietMs);
    EXPECT_EQ(engine.sendCount(), sent);
    EXPECT_LT(cpu, kQuietCpuMs);
    EXPECT_EQ(records, 1);
}

} // namespace
} // namespace ordan
