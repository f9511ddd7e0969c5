// meter-sim: the simulated meter on a pseudo-terminal. Prints the device to open on the
// first line of standard output and serves until SIGTERM or SIGINT.
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/pty_server.h"
#include "sim/random_faults.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated three-tariff meter on a pseudo-terminal. Prints the device path on the first line."));
    parser.addHelpOption();
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Bus address 0..255 (default 0)."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Firmware version major.minor (default 10.3)."),
                                     QStringLiteral("X.Y"), QStringLiteral("10.3"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Factory number 0..131071, 0 = none (default 77881)."),
                                    QStringLiteral("N"), QStringLiteral("77881"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Access password (default 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"),
                                        QStringLiteral("Milliseconds before each answer (default 5)."),
                                        QStringLiteral("MS"), QStringLiteral("5"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace both directions at this baud rate; 0 = no pacing (default)."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("A fault, repeatable: no-echo, wrong-echo, silence, error=N, bad-crc, wrong-code, "
                       "extra=N, chunks=N, chunk-gap=MS, delay=MS, stray, stray-gap=MS."),
        QStringLiteral("FAULT"));
    const QCommandLineOption faultCode(QStringLiteral("fault-code"),
                                       QStringLiteral("Apply the reply faults only to this function code."),
                                       QStringLiteral("CODE"));
    const QCommandLineOption faultCount(QStringLiteral("fault-count"),
                                        QStringLiteral("Apply the faults to this many exchanges only."),
                                        QStringLiteral("N"));
    const QCommandLineOption randomFaults(
        QStringLiteral("random-faults"),
        QStringLiteral("Fault this percentage of exchanges at random, one drawn fault each (replaces --fault)."),
        QStringLiteral("PERCENT"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of --random-faults (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions(
        {address, version, serial, password, turnaround, baud, fault, faultCode, faultCount, randomFaults, seed});
    parser.process(app);

    int addressValue = 0, serialValue = 0, passwordValue = 0, turnaroundValue = 0, baudValue = 0;
    if (!ReadNumber(parser.value(address), 0, 255, addressValue))
        return Refuse(QStringLiteral("bad --address"));
    if (!ReadNumber(parser.value(serial), 0, 131071, serialValue))
        return Refuse(QStringLiteral("bad --serial"));
    if (!ReadNumber(parser.value(password), 0, 65535, passwordValue))
        return Refuse(QStringLiteral("bad --password"));
    if (!ReadNumber(parser.value(turnaround), 0, 100000, turnaroundValue))
        return Refuse(QStringLiteral("bad --turnaround"));
    if (!ReadNumber(parser.value(baud), 0, 1000000, baudValue))
        return Refuse(QStringLiteral("bad --baud"));
    const QStringList versionParts = parser.value(version).split(QLatin1Char('.'));
    int major = 0, minor = 0;
    if (versionParts.size() != 2 || !ReadNumber(versionParts[0], 0, 99, major) ||
        !ReadNumber(versionParts[1], 0, 99, minor))
        return Refuse(QStringLiteral("bad --version"));

    Faults faults;
    for (const QString &text : parser.values(fault))
        if (!ParseFault(text, faults))
            return Refuse(QStringLiteral("bad --fault ") + text);
    if (parser.isSet(faultCode)) {
        int code = 0;
        if (!ReadNumber(parser.value(faultCode), 0, 255, code))
            return Refuse(QStringLiteral("bad --fault-code"));
        faults.onlyCode = static_cast<quint8>(code);
    }
    if (parser.isSet(faultCount) && !ReadNumber(parser.value(faultCount), 0, 1 << 30, faults.exchanges))
        return Refuse(QStringLiteral("bad --fault-count"));

    int randomPercent = -1, seedValue = 1;
    if (parser.isSet(randomFaults) && !ReadNumber(parser.value(randomFaults), 0, 100, randomPercent))
        return Refuse(QStringLiteral("bad --random-faults"));
    if (!ReadNumber(parser.value(seed), 0, 0x7fffffff, seedValue))
        return Refuse(QStringLiteral("bad --seed"));

    // The meter's clock starts at the PC's local time and then runs on a monotonic clock.
    const QDateTime local = QDateTime::currentDateTime();
    MeterState state = SampleMeterState(QDateTime(local.date(), local.time(), Qt::UTC), static_cast<quint8>(major),
                                        static_cast<quint8>(minor));
    state.busAddress = static_cast<quint8>(addressValue);
    state.serialNumber = static_cast<quint32>(serialValue);
    state.password = static_cast<quint16>(passwordValue);

    QElapsedTimer monotonic;
    monotonic.start();
    SimulatedMeter meter([&monotonic] { return monotonic.elapsed(); }, state);
    MeterEndpoint endpoint(meter);
    endpoint.setTurnaroundMs(turnaroundValue);
    endpoint.setFaults(faults);
    RandomFaults dice(static_cast<quint32>(seedValue), randomPercent);
    if (randomPercent >= 0)
        endpoint.setFaultSource([&dice] { return dice.next(); });

    PtyServer server(endpoint, baudValue);
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
