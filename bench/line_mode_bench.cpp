// The line mode's pace: seconds per meter from the meter's first answer to its record, on
// virtual time against the simulated meter over the simulated wire, at 9600 and 4800 baud.
// The limit of a meter is, summed over the exchanges of that span, the 50 ms send tick, the
// wire time of address byte, echo, request and reply (11 bits a character), and the meter's
// turnaround before the echo and before the reply: what the protocol itself takes.
#include "app/line_mode.h"
#include "app/station_fixture.h"
#include "meter/meter_panel.h"
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"

#include <QCoreApplication>

#include <cstdio>

using namespace ordan;

namespace {

constexpr int kMeters = 10;
constexpr double kGoal = 0.9;
constexpr double kTickMs = 50.0;
constexpr int kBitsPerCharacter = 11;
constexpr qint64 kWaitMs = 120000;

struct Pace {
    double measuredMs = 0;
    double limitMs = 0;
    int exchanges = 0;
};

// One line of kMeters fresh meters at `baud`; false when a meter did not finish as "Готово".
bool RunLine(int baud, Pace &total)
{
    test::StationRig rig; // its platform doubles; the line is the simulated wire
    SimulatedMeter meter([&rig] { return rig.timers.now(); },
                         SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30))));
    MeterEndpoint endpoint(meter);
    SimulatedLine line(rig.timers, endpoint);
    Station station(Station::Platform{line, rig.timers, rig.op, rig.facts, rig.settings, rig.ports, rig.exportFiles,
                                      rig.dir.path(), nullptr, nullptr, &rig.recordsWorker});
    station.FormCreate();
    MeterParameters &p = station.meter().parameters();
    for (BoolField *keep :
         {&p.CheckDdmRead, &p.CheckNoIndi, &p.CheckReadTarif, &p.CheckShedule, &p.CheckDDM, &p.CheckIndi})
        keep->set(true);
    p.SpinDay.set(25);
    p.SpinHour.set(7);
    LineMode &mode = *station.lineMode();
    mode.LineNextNumber.edit(1001);
    int done = 0;
    bool allDone = true;
    QObject::connect(&mode, &LineMode::meterFinished, [&](LineOutcome o) {
        ++done;
        allDone = allDone && o == LineOutcome::Done;
    });
    station.panel().ComboBaudChange(BaudIndex(baud));
    if (!station.ActionLineMode.execute() || !station.ActionConnect.execute())
        return false;
    const double wireMsPerByte = kBitsPerCharacter * 1000.0 / baud;
    for (int m = 0; m < kMeters; ++m) {
        // Off the bench until the station has seen the silence, then the next meter.
        const quint8 address = meter.state().busAddress;
        meter.state().busAddress = static_cast<quint8>(address + 1);
        if (!rig.timers.advanceUntil([&] { return mode.state() == LineState::WaitingForMeter; }, kWaitMs))
            return false;
        meter.replace(FreshMeterState(meter.state()));
        meter.state().busAddress = address;
        const qsizetype heardBefore = line.delivered().size();
        if (!rig.timers.advanceUntil([&] { return line.delivered().size() > heardBefore; }, kWaitMs))
            return false;
        const qint64 first = rig.timers.now();
        const size_t sentBefore = line.written().size();
        const qsizetype heardFirst = line.delivered().size();
        if (!rig.timers.advanceUntil([&] { return done == m + 1; }, kWaitMs))
            return false;
        total.measuredMs += double(rig.timers.now() - first);
        int exchanges = 0;
        for (size_t i = sentBefore; i < line.written().size(); ++i)
            exchanges += line.written()[i].parity == Parity::Mark ? 1 : 0;
        const double bytes = double(line.written().size() - sentBefore) + double(line.delivered().size() - heardFirst);
        // The first answer's own echo was heard before the span began; its request is in it.
        total.limitMs += exchanges * (kTickMs + 2.0 * double(endpoint.turnaroundMs())) + bytes * wireMsPerByte;
        total.exchanges += exchanges;
    }
    return allDone;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool ok = true;
    for (int baud : {9600, 4800}) {
        Pace pace;
        const bool ran = RunLine(baud, pace);
        const double share = pace.measuredMs > 0 ? pace.limitMs / pace.measuredMs : 0;
        std::printf("line mode at %4d baud: %5.2f s a meter, limit %5.2f s (%4.1f exchanges), %.3f of the limit %s\n",
                    baud, pace.measuredMs / kMeters / 1000.0, pace.limitMs / kMeters / 1000.0,
                    double(pace.exchanges) / kMeters, share, ran && share >= kGoal ? "ok" : "FAILED");
        ok = ok && ran && share >= kGoal;
    }
    return ok ? 0 : 1;
}
