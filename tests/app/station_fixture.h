#pragma once

#include "app/settings_store.h"
#include "app/station.h"
#include "core/held_background.h"
#include "core/virtual_timers.h"
#include "journals/xls_export_files.h"
#include "link/fake_line.h"
#include "link/port_list.h"
#include "support/memory_settings.h"
#include "support/test_support.h"

#include <QMap>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

namespace ordan::test {

class FakePorts final : public PortEnumerator {
public:
    std::vector<QString> systemPortNames() override { return names; }
    bool probe(const QString &device) override
    {
        probed.push_back(device);
        return std::find(present.begin(), present.end(), device) != present.end();
    }
    bool deviceExists(const QString &device) override
    {
        return std::find(devices.begin(), devices.end(), device) != devices.end();
    }
    PortNaming naming() const override { return portNaming; }
    std::vector<QString> names;
    std::vector<QString> present;
    std::vector<QString> probed;
    std::vector<QString> devices; // devices that exist, for a remembered device path
    PortNaming portNaming = PortNaming::Posix;
};

// A station on virtual time with a tiny meter on a fake line.
struct StationRig {
    VirtualTimers timers;
    FakeLine line{timers};
    FakeOperator op;
    FakeSystemFacts facts;
    MemorySettings settings;
    FakePorts ports;
    XlsExportFiles exportFiles;
    TinyMeter meter;
    QTemporaryDir dir;
    std::unique_ptr<Station> station;
    // Handed to the station that make() builds.
    LocalTable *table = nullptr;
    SqlSession *db = nullptr;
    // The records' worker: runs each job at once unless a case holds it, or `worker` when a
    // case brings its own thread.
    HeldBackground recordsWorker;
    Background *worker = nullptr;

    StationRig()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        line.responder = meter.responder();
        ports.names = {QStringLiteral("COM1")};
    }
    Station &make()
    {
        station = std::make_unique<Station>(Station::Platform{line, timers, op, facts, settings, ports, exportFiles,
                                                              dir.path(), table, db, worker ? worker : &recordsWorker});
        return *station;
    }
    Station &start(const QString &extraPort = {})
    {
        make().FormCreate(extraPort);
        return *station;
    }
};

} // namespace ordan::test
