// The station's real serial path against meter-sim faulting exchanges at random, while the
// operator starts writes at random moments and closes the error boxes after a while.
// ORDAN_SOAK_SECONDS sets the length (120 s by default), ORDAN_SOAK_SEED the seed.
#include "meter/meter_panel.h"
#include "records/dbf_table.h"
#include "records/local_create_command.h"
#include "records/setting_table.h"
#include "schedule/schedule_model.h"
#include "serial_station.h"
#include "support/result_checks.h"

#include <gtest/gtest.h>

#include <random>

namespace ordan {
namespace {

int EnvNumber(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

TEST(FaultSoak, EveryWriteEndsGreenOrRedAndOnlyGreenOnesAreRecorded)
{
    const int seconds = EnvNumber("ORDAN_SOAK_SECONDS", 120);
    const int seed = EnvNumber("ORDAN_SOAK_SEED", 20261209);
    std::printf("soak: %d s, seed %d\n", seconds, seed);

    test::MeterSimProcess sim(
        {QStringLiteral("--random-faults"), QStringLiteral("12"), QStringLiteral("--seed"), QString::number(seed)});
    ASSERT_FALSE(sim.device().isEmpty());
    test::SerialStationParts parts(QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
    test::FakeOperator &op = parts.op;
    DbfTable table(DefaultSettingTablePath(parts.dir.path()));
    QString error;
    ASSERT_TRUE(Succeeded(CreateSettingTable(table.path()), error)) << error.toStdString();

    std::unique_ptr<Station> station = parts.start(sim.device(), nullptr, &table);
    Station &s = *station;
    Engine &engine = s.engine();
    MeterParameters &p = s.meter().parameters();
    int greens = 0, reds = 0;
    QObject::connect(&engine.panel().Shape1, &FieldBase::valueChanged, &engine, [&] {
        greens += engine.panel().Shape1.value() == Indicator::Green;
        reds += engine.panel().Shape1.value() == Indicator::Red;
    });
    ASSERT_TRUE(s.ActionConnect.execute());

    std::mt19937 rng(static_cast<quint32>(seed));
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto writing = [&] {
        return engine.writePending(WriteKind::Settings) || engine.writePending(WriteKind::Schedule);
    };
    int started = 0, boxesClosed = 0;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < seconds * 1000) {
        QTest::qWait(pick(20, 800));
        if (!op.boxes.empty()) {
            // Every box of the run is the write-error box: the records never fail here.
            ASSERT_EQ(op.boxes.front().text, Engine::WriteErrorText()) << op.boxes.front().text.toStdString();
            op.closeBox();
            op.boxes.erase(op.boxes.begin());
            ++boxesClosed;
            continue;
        }
        // A write needs the meter read again after the last one's clear.
        if (writing() || engine.panel().Shape1.value() != Indicator::Hidden || !p.ActionSetting.isEnabled() ||
            !p.identityRead)
            continue;
        if (pick(0, 4) == 0) {
            s.schedule().BtnWriteSchedule.execute();
        } else {
            p.CheckTime.edit(pick(0, 1) == 1);
            p.CheckStatus.edit(pick(0, 1) == 1);
            p.ActionSetting.execute();
        }
        started += writing();
    }

    // Let the last write end, closing its box, then see polling go on.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (!op.boxes.empty()) {
                op.closeBox();
                op.boxes.erase(op.boxes.begin());
                ++boxesClosed;
            }
            return !writing() && engine.panel().Shape1.value() == Indicator::Hidden;
        },
        30000));
    const qint32 sent = engine.sendCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() > sent + 5; }, 10000)) << "polling goes on";

    std::printf("soak: %d writes, %d green, %d red, %d boxes, %d exchanges\n", started, greens, reds, boxesClosed,
                engine.sendCount());
    // A run of a minute or more has started enough writes to see both ends.
    if (seconds >= 60) {
        EXPECT_GE(started, seconds / 10);
        EXPECT_GT(greens, 0);
        EXPECT_GT(reds, 0) << "the faults reached some writes";
    }
    EXPECT_EQ(greens + reds, started) << "every write ends green or red, once";
    EXPECT_EQ(reds, boxesClosed);
    const auto rows = Noted(table.rowCount(), error);
    ASSERT_TRUE(rows) << error.toStdString();
    EXPECT_EQ(*rows, greens) << "a row for each green write, none for a red one";

    station.reset();
}

} // namespace
} // namespace ordan
