#pragma once

// The station on its real serial path (the system's serial line on Qt's timers) against the meter-sim
// program on a pseudo-terminal, with the test doubles of the operator and the workstation.

#include "app/station_fixture.h"
#include "core/qt_timers.h"
#include "link/system_serial_line.h"
#include "support/meter_sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace ordan::test {

// What a station on the serial path is made of; `line` defaults to the port itself.
struct SerialStationParts {
    QtTimers timers;
    SystemSerialLine port;
    FakeOperator op;
    FakeSystemFacts facts;
    MemorySettings settings;
    FakePorts ports;
    XlsExportFiles exportFiles;
    HeldBackground recordsWorker;
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
    // With `db`, its statements run on `worker` (the session must live there).
    std::unique_ptr<Station> start(const QString &device, Line *line = nullptr, LocalTable *table = nullptr,
                                   int baudIndex = 3, SqlSession *db = nullptr, Background *worker = nullptr)
    {
        auto station = std::make_unique<Station>(Station::Platform{line ? *line : port, timers, op, facts, settings,
                                                                   ports, exportFiles, dir.path(), table, db,
                                                                   worker ? worker : &recordsWorker});
        station->FormCreate(device);
        station->panel().ComboBaudChange(baudIndex);
        return station;
    }
};

} // namespace ordan::test
