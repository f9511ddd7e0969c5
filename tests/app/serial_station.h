#pragma once

// The station on its real serial path (SerialPortLine on Qt's timers) against the meter-sim
// program on a pseudo-terminal, with the test doubles of the operator and the workstation.

#include "app/station_fixture.h"
#include "core/qt_timers.h"
#include "link/serial_port_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <memory>

namespace ordan::test {

// meter-sim started with `arguments`; device() is empty when it did not come up.
class MeterSimProcess {
public:
    explicit MeterSimProcess(const QStringList &arguments, const QString &program = BinPath(QStringLiteral("meter-sim")))
    {
        process_.start(program, arguments);
        if (process_.waitForStarted(5000) && QTest::qWaitFor([this] { return process_.canReadLine(); }, 5000))
            device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~MeterSimProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
    }
    const QString &device() const { return device_; }

private:
    QProcess process_;
    QString device_;
};

// What a station on the serial path is made of; `line` defaults to the port itself.
struct SerialStationParts {
    QtTimers timers;
    SerialPortLine port;
    FakeOperator op;
    FakeSystemFacts facts;
    MemorySettings settings;
    FakePorts ports;
    XlsExportFiles exportFiles;
    QTemporaryDir dir;
    QElapsedTimer clock;

    explicit SerialStationParts(const QDateTime &pcClock = QDateTime(QDate(2026, 3, 9), QTime(7, 5, 9)))
    {
        clock.start();
        facts.base = pcClock;
        facts.elapsedMs = [this] { return clock.elapsed(); };
        ports.names.clear();
    }
    // A station started on `device` at 9600 baud (or `baudIndex` of 1200, 2400, 4800, 9600).
    std::unique_ptr<Station> start(const QString &device, Line *line = nullptr, LocalTable *table = nullptr,
                                   int baudIndex = 3)
    {
        auto station = std::make_unique<Station>(Station::Platform{line ? *line : port, timers, op, facts, settings,
                                                                   ports, exportFiles, dir.path(), table});
        station->FormCreate(device);
        station->ComboBaudChange(baudIndex);
        return station;
    }
};

} // namespace ordan::test
