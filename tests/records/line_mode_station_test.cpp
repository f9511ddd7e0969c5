// The line mode in normal mode against the simulated meter on virtual time: ten meters one
// after another, some of them faulty, each swapped in on the bench as a fresh one.
#include "app/line_counters.h"
#include "app/line_mode.h"
#include "local_station_fixture.h"

#include <set>

namespace ordan::test {
namespace {

enum class Trouble { None, WriteRefused, LosesBillingDay, PulledMidWrite };

struct BenchMeter {
    Trouble trouble;
    LineOutcome outcome;
    const char *reason; // part of the result shown
};

class LineModeSim : public LocalStationSim {
protected:
    LineModeSim()
    {
        rig.meter.answer = [this](const QByteArray &request) -> std::optional<QByteArray> {
            const quint8 code = ByteAt(request, 0);
            if (pulled)
                return std::nullopt;
            if (code == CodeByte(FunctionCode::WriteClock))
                ++clockWrites[meterIndex];
            if (trouble == Trouble::WriteRefused && code == CodeByte(FunctionCode::WriteIndication))
                return MeterErrorReply(code, MeterError::MemoryProtected);
            if (trouble == Trouble::PulledMidWrite && code == CodeByte(FunctionCode::WriteDdmNumbers)) {
                pull();
                return std::nullopt;
            }
            std::optional<QByteArray> reply = meter.Answer(request);
            if (trouble == Trouble::LosesBillingDay && code == CodeByte(FunctionCode::WriteBillingDay))
                meter.state().billingDay = 26;
            rig.meter.address = meter.state().busAddress;
            return reply;
        };
    }

    LineMode &line() { return *station->lineMode(); }

    // The meter taken off the bench: nothing answers, not even the address byte.
    void pull()
    {
        pulled = true;
        rig.meter.address = -1;
    }
    void plugFresh(Trouble t)
    {
        serials.push_back(meter.state().serialNumber);
        meter.replace(FreshMeterState(meter.state()));
        ++meterIndex;
        meter.state().correctionCount = static_cast<quint8>(20 + meterIndex);
        trouble = t;
        pulled = false;
        rig.meter.address = meter.state().busAddress;
    }

    Trouble trouble = Trouble::None;
    bool pulled = false;
    int meterIndex = 0;
    std::map<int, int> clockWrites;
    std::vector<quint32> serials;
};

TEST_F(LineModeSim, TenMetersAreProgrammedCheckedRecordedAndCounted)
{
    const LocaleScope c(QLocale::c());
    const std::vector<BenchMeter> bench = {
        {Trouble::None, LineOutcome::Done, "№ 77881 — Готово"},
        {Trouble::WriteRefused, LineOutcome::Failed, "№ 1001 — Ошибка: ошибка записи"},
        {Trouble::None, LineOutcome::Done, "№ 1002 — Готово"},
        {Trouble::LosesBillingDay, LineOutcome::Failed,
         "№ 1003 — Ошибка: Расчетный день и час: записано 25, 7, прочитано 26, 7"},
        {Trouble::None, LineOutcome::Done, "№ 1004 — Готово"},
        {Trouble::PulledMidWrite, LineOutcome::Failed, "№ 1005 — Ошибка: ошибка записи"},
        {Trouble::None, LineOutcome::Done, "№ 1006 — Готово"},
        {Trouble::None, LineOutcome::Done, "№ 1007 — Готово"},
        {Trouble::None, LineOutcome::Done, "№ 1008 — Готово"},
        {Trouble::None, LineOutcome::Done, "№ 1009 — Готово"},
    };
    start();
    // The prepared settings, kept from meter to meter: the switches that stop the polling
    // from showing each meter's own values over them.
    for (BoolField *keep : {&p().CheckDdmRead, &p().CheckNoIndi, &p().CheckReadTarif})
        keep->set(true);
    p().CheckShedule.set(true);
    p().SpinDay.set(25);
    p().SpinHour.set(7);
    p().CheckDDM.set(true);
    p().SpinEditA.set(11);
    p().SpinEditB.set(12);
    p().SpinEditC.set(70000);
    p().CheckIndi.set(true);
    p().CheckBox2.set(false);
    line().LineNextNumber.edit(1001);
    std::vector<LineOutcome> outcomes;
    std::vector<QString> shown;
    QObject::connect(&line(), &LineMode::meterFinished, [&](LineOutcome o) {
        outcomes.push_back(o);
        shown.push_back(line().LineResult.value());
    });
    ASSERT_TRUE(station->ActionLineMode.execute());
    ASSERT_TRUE(station->ActionConnect.execute());

    for (size_t i = 0; i < bench.size(); ++i) {
        // The last two are swapped under the poll, without the bus falling silent.
        if (i > 0 && i < 8) {
            pull();
            ASSERT_TRUE(rig.timers.advanceUntil([&] { return line().state() == LineState::WaitingForMeter; }, 60000))
                << i;
        }
        if (i > 0)
            plugFresh(bench[i].trouble);
        ASSERT_TRUE(rig.timers.advanceUntil([&] { return outcomes.size() == i + 1; }, 60000)) << i;
        EXPECT_EQ(outcomes[i], bench[i].outcome) << i;
        EXPECT_EQ(shown[i], QString::fromUtf8(bench[i].reason)) << i;
        // The meter stays on the bench a while: it is not programmed again.
        rig.timers.advance(20000);
        EXPECT_EQ(outcomes.size(), i + 1) << i;
    }
    serials.push_back(meter.state().serialNumber);

    EXPECT_TRUE(rig.op.boxes.empty());
    for (const auto &[index, writes] : clockWrites)
        EXPECT_EQ(writes, 1) << "meter " << index;
    // Every meter carries a number of its own, the refused write's too (its number went out first).
    EXPECT_EQ(std::set<quint32>(serials.begin(), serials.end()).size(), bench.size());
    EXPECT_EQ(serials[1], 1001u);

    // Recorded: exactly the meters that read back right.
    std::vector<int> recorded;
    for (const QJsonValue &row : records())
        recorded.push_back(row[S("c_number")].toInt());
    EXPECT_EQ(recorded, (std::vector<int>{77881, 1002, 1004, 1006, 1007, 1008, 1009}));
    // Each with its own meter's values, not those the previous one left in the fields.
    std::vector<int> corrections;
    for (const QJsonValue &row : records())
        corrections.push_back(row[S("ncorrect")].toInt());
    EXPECT_EQ(corrections, (std::vector<int>{3, 22, 24, 26, 27, 28, 29}));

    // The shift's report: the log of the shift's day, every number.
    view->SpinFilter.set(1009);
    ASSERT_TRUE(station->ActionShiftReport.execute());
    EXPECT_EQ(view->rows().size(), 7);
    EXPECT_EQ(view->DTP1.value(), line().counters().shift);

    const LineCounters counted = line().counters();
    EXPECT_EQ(counted.programmed, 7);
    EXPECT_EQ(counted.failed, 3);
    EXPECT_EQ(counted.refused, 0);
    // Kept for a restart within the shift, with the mode armed again.
    rig.station.reset();
    Station &again = rig.make();
    again.FormCreate();
    EXPECT_EQ(again.lineMode()->counters(), counted);
    EXPECT_TRUE(again.LineModeArmed.value());
    station = nullptr;
}

} // namespace
} // namespace ordan::test
