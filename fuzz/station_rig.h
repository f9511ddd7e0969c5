#pragma once

// The station of fuzz_reply_path on virtual time with a fake line whose far end echoes every
// address byte and leaves the replies to the caller; shared with the seed writer, which
// answers through the simulated meter.

#include "app/station.h"
#include "core/held_background.h"
#include "core/virtual_timers.h"
#include "journals/journal_export.h"
#include "link/fake_line.h"
#include "link/port_list.h"
#include "no_files.h"
#include "records/local_table_memory.h"
#include "support/memory_settings.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>

#include <memory>

namespace ordan::fuzz {

class Ports final : public PortEnumerator {
public:
    std::vector<QString> systemPortNames() override { return {QStringLiteral("COM1")}; }
    bool probe(const QString &) override { return false; }
    bool deviceExists(const QString &) override { return false; }
    PortNaming naming() const override { return PortNaming::Posix; }
};

// The working directory the station looks into for the database-mode marker: a folder that
// does not exist, so there is no marker and nothing is ever written.
inline const QString &WorkingDir()
{
    static const QString dir =
        QDir::tempPath() + QStringLiteral("/ordan-fuzz-absent-%1").arg(QCoreApplication::applicationPid());
    return dir;
}

struct Rig {
    VirtualTimers timers;
    test::FakeLine line{timers};
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    test::MemorySettings settings;
    Ports ports;
    NoFiles files;
    MemoryLocalTable table;
    HeldBackground recordsWorker;
    std::unique_ptr<Station> station;
    bool echo = true;
    size_t writesSeen = 0;
    QByteArray lastRequest;

    explicit Rig(quint8 switches)
    {
        facts.elapsedMs = [this] { return timers.now(); };
        settings.exists = true; // the key is there from the start, as the station left it
        if (switches & 0x01)
            settings.values.insert(QStringLiteral("Master"), 1);
        if (switches & 0x02)
            settings.values.insert(QStringLiteral("NoUser"), 1);
        if (switches & 0x04)
            settings.values.insert(QStringLiteral("Password"), 1);
        if (switches & 0x08)
            settings.values.insert(QStringLiteral("Sql"), 1);
        echo = (switches & 0x10) == 0;
        // The far end echoes every address byte; the replies are the script's.
        line.responder = [this](const QByteArray &bytes, Parity parity) -> std::vector<test::FakeLine::Answer> {
            if (parity == Parity::Mark && echo)
                return {{2, bytes}};
            return {};
        };
        station =
            std::make_unique<Station>(Station::Platform{line, timers, op, facts, settings, ports, files, WorkingDir(),
                                                        (switches & 0x20) ? &table : nullptr, nullptr, &recordsWorker});
        station->FormCreate();
    }
    ~Rig()
    {
        // The station goes before the line and the timers it uses.
        station.reset();
    }

    // The request of the next exchange, once its address has been echoed and it is on the
    // wire (the latest, when several went out meanwhile); the last one when none comes within
    // the time-out.
    QByteArray nextRequest()
    {
        const auto fresh = [this] {
            bool found = false;
            for (; writesSeen < line.writes.size(); ++writesSeen) {
                if (line.writes[writesSeen].parity == Parity::Space) {
                    lastRequest = line.writes[writesSeen].bytes;
                    found = true;
                }
            }
            return found;
        };
        timers.advanceUntil(fresh, 3000, 5);
        return lastRequest;
    }
};

} // namespace ordan::fuzz
