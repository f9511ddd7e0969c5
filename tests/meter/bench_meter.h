#pragma once

#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "meter/meter_clock.h"
#include "meter/meter_panel.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

namespace ordan::test {

// The station's side of the engine host, as far as the meter parameters are concerned.
struct MeterHost final : EngineHost {
    void clearMeterData() override
    {
        ++clears;
        if (panel)
            panel->ClearMeterData();
    }
    void recordProgramming() override { ++records; }
    void setWriteActionsEnabled(bool on) override
    {
        if (panel)
            panel->setWriteActionsEnabled(on);
    }
    void setFindAddressEnabled(bool) override {}
    void replyAccepted(quint8) override {}
    void meterSilent() override
    {
        setWriteActionsEnabled(false);
        clearMeterData();
    }

    MeterPanel *panel = nullptr;
    int clears = 0;
    int records = 0;
};

// A meter on the bench with every read group filled; writes need the access password.
struct BenchMeter {
    quint16 password = 1;
    bool authorised = false;
    std::map<int, QByteArray> payloads;       // read code -> payload
    std::vector<QByteArray> writes;           // write requests the meter took
    std::function<QByteArray()> clockPayload; // the clock's payload at the moment asked
    std::set<int> refused;                    // write codes answered with "wrong data"
    TinyMeter tiny;

    BenchMeter()
    {
        payloads[0x00] = Bytes({0x03, 0x10});
        payloads[0x01] = Bytes({0x39, 0x30, 0x01});
        payloads[0x04] = Bytes({0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80});
        payloads[0x06] = Bytes({0x12, 0x08});
        payloads[0x0A] = Bytes({0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x70, 0x11, 0x01});
        payloads[0x0C] = Bytes({0xC9});
        payloads[0x0D] = Bytes({0x05});
        QByteArray readings;
        for (quint64 c : {4000, 8000, 1, 40, 80, 0})
            AppendLittleEndian(readings, c, 5);
        payloads[0x0F] = readings;
        payloads[0x11] = Bytes({0x7D, 0x00, 0x00, 0x03});
        payloads[0x22] = Bytes({0x07, 0x25});
        payloads[0x2A] = Bytes({0, 0x90, 0x5F, 0x01, 0x00, 0, 0x90, 0x5F, 0x01, 0x00, 0, 0x00, 0x00, 0x00, 0x00});
        tiny.answer = [this](const QByteArray &request) { return answer(request); };
    }

    std::optional<QByteArray> answer(const QByteArray &request)
    {
        const quint8 code = ByteAt(request, 0);
        if (code == 0x04 && clockPayload)
            payloads[0x04] = clockPayload();
        if (auto it = payloads.find(code); it != payloads.end()) {
            authorised = false;
            QByteArray body = Bytes({code, static_cast<int>(it->second.size() + 2)});
            return AppendCrc(body + it->second);
        }
        if (code == 0x14) {
            const auto given = static_cast<quint16>(LittleEndian(request, 2, 2));
            if (authorised) {
                password = given; // a second password while access is held sets it
            } else if (given != password) {
                return AppendCrc(Bytes({0x94, 0x03, 0x06}));
            }
            authorised = true;
            return AppendCrc(Bytes({0x14, 0x02}));
        }
        if (!authorised)
            return AppendCrc(Bytes({code + 0x80, 0x03, 0x06}));
        if (refused.count(code))
            return AppendCrc(Bytes({code + 0x80, 0x03, 0x04}));
        writes.push_back(request.left(request.size() - 2));
        if (code == 0x03)
            tiny.address = ByteAt(request, 2);
        return AppendCrc(Bytes({code, 0x02}));
    }
};

// Engine, line, meter and the meter parameters on virtual time.
struct MeterBenchFixture : ::testing::Test {
    LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    VirtualTimers timers;
    FakeLine line{timers};
    FakeOperator op;
    FakeSystemFacts facts;
    MeterHost host;
    BenchMeter meter;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    std::unique_ptr<MeterPanel> panel;
    std::unique_ptr<Timer> clockTimer = timers.createTimer(500);

    explicit MeterBenchFixture(Modes modes = {})
    {
        facts.elapsedMs = [this] { return timers.now(); };
        line.responder = meter.tiny.responder();
        panel = std::make_unique<MeterPanel>(engine, op, facts, modes);
        host.panel = panel.get();
        // As the station does: the end of the write indicator clears the fields, and the
        // pickers follow the PC clock.
        QObject::connect(&linkPanel, &ConnectionPanel::indicatorHidden, [this] { host.clearMeterData(); });
        clockTimer->setHandler([this] {
            if (panel)
                panel->followClock();
        });
        clockTimer->enable();
    }
    ~MeterBenchFixture() override { host.panel = nullptr; }

    MeterParameters &p() { return panel->parameters(); }

    void connect()
    {
        ASSERT_TRUE(engine.connectLine(QStringLiteral("/dev/ttyBENCH"), 4800));
        timers.advance(100);
    }

    // Runs until the meter has answered `count` more requests.
    bool exchange(int count, qint64 maxMs = 60000)
    {
        const int target = meter.tiny.requestsSeen + count;
        return timers.advanceUntil([&] { return meter.tiny.requestsSeen >= target && !engine.awaitingReply(); }, maxMs);
    }

    std::vector<QString> requestHex() const
    {
        std::vector<QString> out;
        for (const QByteArray &r : line.requests())
            out.push_back(Hex(r));
        return out;
    }
};

} // namespace ordan::test
