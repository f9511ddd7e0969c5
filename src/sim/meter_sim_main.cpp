// meter-sim: the simulated meter on a pseudo-terminal. Prints the device to open on the
// first line of standard output and serves until SIGTERM or SIGINT. Takes the bench's
// commands on standard input, one a line: "fresh" puts the next, unnumbered meter on the bench.
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/pty_server.h"
#include "sim/random_faults.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSocketNotifier>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>

using namespace ordan;

namespace {

bool ReadNumber(const QString &text, int min, int max, int &out)
{
    bool ok = false;
    const int v = text.toInt(&ok, 0);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

int Refuse(const QString &what)
{
    std::fprintf(stderr, "meter-sim: %s\n", qPrintable(what));
    return 2;
}

QCommandLineOption Option(const char *name, const char *description, const char *valueName,
                          const char *defaultValue = nullptr)
{
    QCommandLineOption option(QString::fromLatin1(name), QString::fromLatin1(description),
                              QString::fromLatin1(valueName));
    if (defaultValue)
        option.setDefaultValue(QString::fromLatin1(defaultValue));
    return option;
}

// The command line's options.
struct Options {
    QCommandLineOption address = Option("address", "Bus address 0..255 (default 0).", "N", "0");
    QCommandLineOption version = Option("version", "Firmware version major.minor (default 10.3).", "X.Y", "10.3");
    QCommandLineOption serial = Option("serial", "Factory number 0..131071, 0 = none (default 77881).", "N", "77881");
    QCommandLineOption password = Option("password", "Access password (default 1).", "N", "1");
    QCommandLineOption turnaround = Option("turnaround", "Milliseconds before each answer (default 5).", "MS", "5");
    QCommandLineOption baud =
        Option("baud", "Pace both directions at this baud rate; 0 = no pacing (default).", "N", "0");
    QCommandLineOption fault =
        Option("fault",
               "A fault, repeatable: no-echo, wrong-echo, silence, error=N, bad-crc, wrong-code, "
               "extra=N, chunks=N, chunk-gap=MS, delay=MS, stray, stray-gap=MS.",
               "FAULT");
    QCommandLineOption faultCode = Option("fault-code", "Apply the reply faults only to this function code.", "CODE");
    QCommandLineOption faultCount = Option("fault-count", "Apply the faults to this many exchanges only.", "N");
    QCommandLineOption randomFaults =
        Option("random-faults",
               "Fault this percentage of exchanges at random, one drawn fault each (replaces --fault).", "PERCENT");
    QCommandLineOption seed = Option("seed", "Seed of --random-faults (default 1).", "N", "1");

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions(
            {address, version, serial, password, turnaround, baud, fault, faultCode, faultCount, randomFaults, seed});
    }
};

// What the command line asks of the simulator.
struct SimSettings {
    int address = 0, serial = 0, password = 0, turnaround = 0, baud = 0, major = 0, minor = 0;
    Faults faults;
    int randomPercent = -1, seed = 1;
};

// The meter's own settings; the complaint about the first one not understood.
std::optional<QString> ReadMeterSettings(const QCommandLineParser &parser, const Options &o, SimSettings &s)
{
    if (!ReadNumber(parser.value(o.address), 0, 255, s.address))
        return QStringLiteral("bad --address");
    if (!ReadNumber(parser.value(o.serial), 0, 131071, s.serial))
        return QStringLiteral("bad --serial");
    if (!ReadNumber(parser.value(o.password), 0, 65535, s.password))
        return QStringLiteral("bad --password");
    if (!ReadNumber(parser.value(o.turnaround), 0, 100000, s.turnaround))
        return QStringLiteral("bad --turnaround");
    if (!ReadNumber(parser.value(o.baud), 0, 1000000, s.baud))
        return QStringLiteral("bad --baud");
    const QStringList versionParts = parser.value(o.version).split(QLatin1Char('.'));
    if (versionParts.size() != 2 || !ReadNumber(versionParts[0], 0, 99, s.major) ||
        !ReadNumber(versionParts[1], 0, 99, s.minor))
        return QStringLiteral("bad --version");
    return std::nullopt;
}

// The faults asked for, scripted or drawn; the complaint about the first one not understood.
std::optional<QString> ReadFaultSettings(const QCommandLineParser &parser, const Options &o, SimSettings &s)
{
    for (const QString &text : parser.values(o.fault))
        if (!ParseFault(text, s.faults))
            return QStringLiteral("bad --fault ") + text;
    if (parser.isSet(o.faultCode)) {
        int code = 0;
        if (!ReadNumber(parser.value(o.faultCode), 0, 255, code))
            return QStringLiteral("bad --fault-code");
        s.faults.onlyCode = static_cast<quint8>(code);
    }
    if (parser.isSet(o.faultCount) && !ReadNumber(parser.value(o.faultCount), 0, 1 << 30, s.faults.exchanges))
        return QStringLiteral("bad --fault-count");
    if (parser.isSet(o.randomFaults) && !ReadNumber(parser.value(o.randomFaults), 0, 100, s.randomPercent))
        return QStringLiteral("bad --random-faults");
    if (!ReadNumber(parser.value(o.seed), 0, 0x7fffffff, s.seed))
        return QStringLiteral("bad --seed");
    return std::nullopt;
}

// The commands read from standard input; at its end the notifier stops, the meter serves on.
class BenchCommands {
public:
    explicit BenchCommands(SimulatedMeter &meter) : meter_(meter)
    {
        // Started in the background of a terminal, a read would stop the simulator; ignored,
        // the read fails instead and the commands end.
        std::signal(SIGTTIN, SIG_IGN);
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readCommands(); });
    }

private:
    void readCommands()
    {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            notifier_.setEnabled(false);
            return;
        }
        pending_.append(chunk, got);
        for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
            run(pending_.left(end).trimmed());
            pending_.remove(0, end + 1);
        }
    }

    void run(const QByteArray &command)
    {
        if (command == "fresh") {
            meter_.sync();
            meter_.replace(FreshMeterState(meter_.state()));
        } else if (!command.isEmpty()) {
            std::fprintf(stderr, "meter-sim: unknown command \"%s\"\n", command.constData());
        }
    }

    SimulatedMeter &meter_;
    QSocketNotifier notifier_{STDIN_FILENO, QSocketNotifier::Read};
    QByteArray pending_;
};

// Serves the meter until a termination signal; the exit status.
int Serve(const SimSettings &s)
{
    // The meter's clock starts at the PC's local time and then runs on a monotonic clock.
    const QDateTime local = QDateTime::currentDateTime();
    MeterState state = SampleMeterState(QDateTime(local.date(), local.time(), Qt::UTC), static_cast<quint8>(s.major),
                                        static_cast<quint8>(s.minor));
    state.busAddress = static_cast<quint8>(s.address);
    state.serialNumber = static_cast<quint32>(s.serial);
    state.password = static_cast<quint16>(s.password);

    QElapsedTimer monotonic;
    monotonic.start();
    SimulatedMeter meter([&monotonic] { return monotonic.elapsed(); }, state);
    MeterEndpoint endpoint(meter);
    endpoint.setTurnaroundMs(s.turnaround);
    endpoint.setFaults(s.faults);
    RandomFaults dice(static_cast<quint32>(s.seed), s.randomPercent);
    if (s.randomPercent >= 0)
        endpoint.setFaultSource([&dice] { return dice.next(); });

    const BenchCommands commands(meter);

    PtyServer server(endpoint, s.baud);
    QString error;
    if (!server.start(&error))
        return Refuse(error);
    QuitOnTerminationSignals();
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);
    const int status = QCoreApplication::exec();
    // Whoever drove a station against the simulator learns whether it was polled.
    std::fprintf(stderr, "meter-sim: %zu requests received\n", endpoint.requests().size());
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated three-tariff meter on a pseudo-terminal. Prints the device path on the first line."));
    parser.addHelpOption();
    const Options options;
    options.addTo(parser);
    parser.process(app);

    SimSettings settings;
    if (const std::optional<QString> bad = ReadMeterSettings(parser, options, settings))
        return Refuse(*bad);
    if (const std::optional<QString> bad = ReadFaultSettings(parser, options, settings))
        return Refuse(*bad);
    return Serve(settings);
}
