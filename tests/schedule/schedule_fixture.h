#pragma once

#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "link/poll_cycle.h"
#include "schedule/schedule_model.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <vector>

namespace ordan::test {

// Only the idle poll request is left on the queue: every queued sequence has run.
inline bool OnlyPollingQueued(const Engine &engine)
{
    if (engine.commands().size() != 1)
        return false;
    return IsPollCode(ByteAt(engine.commands().head(), 0));
}

struct ScheduleHost final : EngineHost {
    void clearMeterData() override { ++clears; }
    void recordProgramming() override { ++records; }
    void setWriteActionsEnabled(bool) override {}
    void setFindAddressEnabled(bool) override {}
    void replyAccepted(quint8) override {}
    void meterSilent() override {}
    int clears = 0;
    int records = 0;
};

// The schedule part of a meter, as the bus shows it: what is written is kept, what is read
// comes from what was kept. Acknowledgements are "code 03 00".
struct ScheduleMeter {
    int major = 0x10;
    bool single = false;
    std::array<std::array<quint8, 3>, 6> zones{
        {{1, 0x00, 0x00}, {2, 0x06, 0x30}, {3, 0x08, 0x30}, {2, 0x11, 0x30}, {3, 0x17, 0x30}, {2, 0x20, 0x30}}};
    std::array<quint8, 6> masks{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::array<std::optional<std::array<quint8, 2>>, 16> holidays{};
    std::array<std::optional<std::array<quint8, 4>>, 16> transfers{};
    std::optional<quint8> refuseCode; // answer this request code with error 4
    std::vector<QByteArray> seen;

    static QByteArray Ack(quint8 code) { return AppendCrc(Bytes({code, 0x03, 0x00})); }

    std::optional<QByteArray> answer(const QByteArray &r)
    {
        seen.push_back(r);
        const quint8 code = ByteAt(r, 0);
        const quint8 length = ByteAt(r, 1);
        if (refuseCode && code == *refuseCode)
            return AppendCrc(Bytes({code + 0x80, 0x03, 0x04}));
        QByteArray out;
        switch (code) {
        case 0x00: return AppendCrc(Bytes({0x00, 0x04, 0x03, major}));
        case 0x08:
            if (single)
                return AppendCrc(Bytes({0x08, 0x02}));
            out = Bytes({0x08, 0x14});
            for (const auto &z : zones)
                for (quint8 b : z)
                    out.append(static_cast<char>(b));
            return AppendCrc(out);
        case 0x09:
            single = length == 2;
            if (length == 20)
                for (int z = 0; z < 6; ++z)
                    for (int i = 0; i < 3; ++i)
                        zones[z][i] = ByteAt(r, 2 + 3 * z + i);
            return Ack(code);
        case 0x2E:
            out = Bytes({0x2E, 0x08});
            for (quint8 m : masks)
                out.append(static_cast<char>(m));
            return AppendCrc(out);
        case 0x2F:
            for (int z = 0; z < 6; ++z)
                masks[z] = ByteAt(r, 2 + z);
            return Ack(code);
        case 0x26: {
            const auto &h = holidays[ByteAt(r, 2) % 16];
            if (!h)
                return AppendCrc(Bytes({0x26, 0x03, 0x00}));
            return AppendCrc(Bytes({0x26, 0x05, ByteAt(r, 2), (*h)[0], (*h)[1]}));
        }
        case 0x27:
            if (length == 2)
                holidays.fill(std::nullopt);
            else
                holidays[ByteAt(r, 2) % 16] = std::array<quint8, 2>{ByteAt(r, 3), ByteAt(r, 4)};
            return Ack(code);
        case 0x28: {
            const auto &t = transfers[ByteAt(r, 2) % 16];
            if (!t)
                return AppendCrc(Bytes({0x28, 0x03, 0x00}));
            return AppendCrc(Bytes({0x28, 0x07, ByteAt(r, 2), (*t)[0], (*t)[1], (*t)[2], (*t)[3]}));
        }
        case 0x29:
            if (length == 2)
                transfers.fill(std::nullopt);
            else
                transfers[ByteAt(r, 2) % 16] =
                    std::array<quint8, 4>{ByteAt(r, 3), ByteAt(r, 4), ByteAt(r, 5), ByteAt(r, 6)};
            return Ack(code);
        default: return Ack(code);
        }
    }
};

// An engine on virtual time with the schedule page model installed on it.
struct ScheduleFixture : ::testing::Test {
    VirtualTimers timers;
    FakeLine line{timers};
    FakeOperator op;
    ScheduleHost host;
    FakeSystemFacts facts;
    ScheduleMeter meter;
    TinyMeter tiny;
    QString password = QStringLiteral("1");
    int versionReplies = 0;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    ScheduleModel model{engine, op, facts, [this] { return password; }};

    ScheduleFixture()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        tiny.answer = [this](const QByteArray &r) { return meter.answer(r); };
        line.responder = tiny.responder();
        engine.log().CheckBox_Terminal.set(true);
        engine.setDecoder(FunctionCode::ReadFirmwareVersion, [this](const QByteArray &r) {
            ++versionReplies;
            engine.setMeterVersion(BcdDecode(ByteAt(r, 3)));
            model.applyMeterVersion(engine.meterVersion());
        });
    }

    // Connects and lets the version reply arrive.
    void connect()
    {
        ASSERT_TRUE(engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 9600));
        model.setConnected(true);
        const int before = versionReplies;
        timers.advanceUntil([this, before] { return versionReplies > before; }, 5000);
        ASSERT_GT(versionReplies, before);
    }

    // Bodies (CRC dropped) of the requests now on the queue from position `from`.
    std::vector<QString> queued(qsizetype from = 0) const
    {
        std::vector<QString> out;
        for (qsizetype i = from; i < engine.commands().size(); ++i)
            out.push_back(Hex(engine.commands().at(i).chopped(2)));
        return out;
    }
    // The whole frames (CRC included).
    std::vector<QString> queuedFrames(qsizetype from = 0) const
    {
        std::vector<QString> out;
        for (qsizetype i = from; i < engine.commands().size(); ++i)
            out.push_back(Hex(engine.commands().at(i)));
        return out;
    }

    bool logHas(const QString &text) const
    {
        for (const QString &l : engine.log().lines())
            if (l.contains(text))
                return true;
        return false;
    }
};

} // namespace ordan::test
