// Link pacing: the station's real serial path (engine and SerialPortLine on Qt's timers)
// against meter-sim on a pseudo-terminal, pacing its bytes at the wire time of the speed.
// The limit of a run is, summed over its exchanges, the 50 ms send tick, the wire time of
// address byte, echo, request and reply, and the simulator's turnaround before the echo and
// before the reply. Measured from the address byte of the first exchange to that of the one
// after the last, so every exchange counts with its own tick.
#include "app/serial_station.h"
#include "journals/journals.h"
#include "link/protocol.h"
#include "timed_line.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

#include <cstdio>

using namespace ordan;

namespace {

constexpr int kTurnaroundMs = 5;
constexpr int kPollExchanges = 300;
constexpr double kGoal = 0.97;

// Runs the event loop until `done`. QTest::qWaitFor would not do: it sleeps 10 ms between
// rounds of events, and every reply would wait for it.
bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(20);
    loop.exec();
    return done();
}

struct Result {
    double measuredMs = 0;
    double limitMs = 0;
    int exchanges = 0;
};

// Exchanges [first, last) against the wire; the address byte of `last` closes the span.
Result Hold(const std::vector<bench::TimedLine::Exchange> &x, size_t first, size_t last, int baud)
{
    Result r;
    r.exchanges = static_cast<int>(last - first);
    r.measuredMs = static_cast<double>(x[last].addressNs - x[first].addressNs) / 1e6;
    for (size_t i = first; i < last; ++i)
        r.limitMs += 50.0 + WireTimeMs(1 + x[i].requestBytes + x[i].receivedBytes, baud) + 2.0 * kTurnaroundMs;
    return r;
}

// Where the time of the exchanges went, on average, against what the wire takes.
void Breakdown(const std::vector<bench::TimedLine::Exchange> &x, size_t first, size_t last, int baud)
{
    double echo = 0, reply = 0, tick = 0, echoWire = 0, replyWire = 0;
    for (size_t i = first; i < last; ++i) {
        echo += static_cast<double>(x[i].echoNs - x[i].addressNs) / 1e6;
        reply += static_cast<double>(x[i].lastNs - x[i].requestNs) / 1e6;
        tick += static_cast<double>(x[i + 1].addressNs - x[i].lastNs) / 1e6;
        echoWire += WireTimeMs(2, baud) + kTurnaroundMs;
        replyWire += WireTimeMs(x[i].requestBytes + x[i].receivedBytes - 1, baud) + kTurnaroundMs;
    }
    const double n = static_cast<double>(last - first);
    std::printf("    per exchange: echo %.2f ms (wire %.2f), request to reply %.2f ms (wire %.2f), "
                "reply to next address %.2f ms (tick 50)\n",
                echo / n, echoWire / n, reply / n, replyWire / n, tick / n);
}

bool Report(const char *what, int baud, const Result &r)
{
    const double ratio = r.limitMs / r.measuredMs;
    std::printf("%-28s %5d baud: %4d exchanges, measured %9.1f ms, limit %9.1f ms, ratio %.4f (goal >= %.2f) %s\n",
                what, baud, r.exchanges, r.measuredMs, r.limitMs, ratio, kGoal, ratio >= kGoal ? "ok" : "BELOW GOAL");
    std::fflush(stdout);
    return ratio >= kGoal;
}

bool RunAt(int baud, int baudIndex)
{
    test::MeterSimProcess sim({QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--turnaround"),
                               QString::number(kTurnaroundMs)},
                              QCoreApplication::applicationDirPath() + QStringLiteral("/meter-sim"));
    if (sim.device().isEmpty()) {
        std::fprintf(stderr, "meter-sim did not start\n");
        return false;
    }
    test::SerialStationParts parts;
    bench::TimedLine line(parts.port);
    bool ok = true;
    {
        std::unique_ptr<Station> station = parts.start(sim.device(), &line, nullptr, baudIndex);
        station->ActionConnect.execute();
        test::FakeOperator &op = parts.op;
        const auto &x = line.exchanges();
        // One poll cycle to settle (the version decides the cycle), then the measured run.
        RunUntil([&] { return x.size() >= 20; }, 20000);
        const size_t first = x.size();
        RunUntil([&] { return x.size() > first + kPollExchanges; }, 120000);
        ok = x.size() > first + kPollExchanges && Report("polling", baud, Hold(x, first, first + kPollExchanges, baud));
        if (x.size() > first + kPollExchanges)
            Breakdown(x, first, first + kPollExchanges, baud);

        // The full consumption journal: 250 pages behind the poll request in flight.
        station->journals().consumption().BitBtn3Click();
        const auto journalDone = [&] {
            size_t n = 0;
            for (size_t i = first; i < x.size(); ++i)
                n += x[i].code == CodeByte(FunctionCode::ReadConsumptionJournal);
            return n == kConsumptionPages && x.back().code != CodeByte(FunctionCode::ReadConsumptionJournal) &&
                   x.back().requestBytes > 0;
        };
        RunUntil(journalDone, 120000);
        size_t begin = first, end = first;
        for (size_t i = first; i < x.size(); ++i) {
            if (x[i].code == CodeByte(FunctionCode::ReadConsumptionJournal)) {
                if (begin == first)
                    begin = i;
                end = i + 1;
            }
        }
        const bool complete = journalDone() && end - begin == kConsumptionPages;
        if (!complete)
            std::printf("consumption journal: not read in one run of %d exchanges\n", kConsumptionPages);
        ok = complete && Report("consumption journal", baud, Hold(x, begin, end, baud)) && ok;
        if (complete)
            Breakdown(x, begin, end, baud);
        if (station->engine().timeoutCount() > 0 || !op.boxes.empty()) {
            std::printf("time-outs or boxes during the run: the figures do not hold\n");
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    bool ok = RunAt(9600, 3);
    ok = RunAt(4800, 2) && ok;
    return ok ? 0 : 1;
}
