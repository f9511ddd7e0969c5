// Disconnecting, by the operator or because the port went away, ends every exchange: the next
// connection starts with the version request and nothing of the old one reaches the meter.
// Every other fault of the port is logged and shown, and one that kept bytes from going out
// ends its exchange at once.
#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace ordan {
namespace {

using test::FakeLine;
using test::Hex;

struct CountingHost final : EngineHost {
    void clearMeterData() override {}
    void recordProgramming() override { ++records; }
    void setWriteActionsEnabled(bool on) override { writeActions = on; }
    void setFindAddressEnabled(bool on) override { findAddress = on; }
    void replyAccepted(quint8) override {}
    void meterSilent() override {}
    int records = 0;
    bool writeActions = false;
    bool findAddress = false;
};

// The moments of the exchange cycle at which the link goes down.
enum class Moment { Gap, AddressPhase, AwaitingReply, HalfReply };

const char *NameOf(Moment m)
{
    switch (m) {
    case Moment::Gap: return "gap";
    case Moment::AddressPhase: return "address phase";
    case Moment::AwaitingReply: return "awaiting reply";
    case Moment::HalfReply: return "half a reply in";
    }
    return "";
}

const QByteArray kPassword = Bytes({0x14, 0x04, 0x01, 0x00});
const QByteArray kClock = Bytes({0x05, 0x0A, 0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80});
const QByteArray kBilling = Bytes({0x0E, 0x03, 0x01});

struct Rig {
    VirtualTimers timers;
    FakeLine line{timers};
    test::FakeOperator op;
    CountingHost host;
    test::TinyMeter meter;
    ConnectionPanel linkPanel{timers};
    Engine engine{line,      timers,
                  op,        host,
                  linkPanel, [this] { return QDateTime(QDate(2026, 12, 8), QTime(14, 0)).addMSecs(timers.now()); }};

    Rig()
    {
        // Replies arrive in two pieces, 5 ms apart, so that a reply can be caught half-read.
        line.responder = [this](const QByteArray &bytes, Parity parity) {
            std::vector<FakeLine::Answer> answers = meter.responder()(bytes, parity);
            if (parity == Parity::Space && answers.size() == 1 && answers[0].bytes.size() > 2) {
                const QByteArray whole = answers[0].bytes;
                answers = {{answers[0].delayMs, whole.left(2)}, {answers[0].delayMs + 5, whole.mid(2)}};
            }
            return answers;
        };
        engine.setDecoder(FunctionCode::ReadFirmwareVersion,
                          [this](const QByteArray &r) { engine.setMeterVersion(BcdDecode(ByteAt(r, 3))); });
        engine.log().setEngineering(true);
    }

    bool reach(Moment m)
    {
        return timers.advanceUntil(
            [&] {
                switch (m) {
                case Moment::Gap:
                    return engine.sendTimerEnabled() && !engine.awaitingReply() && !engine.request().isEmpty();
                case Moment::AddressPhase: return engine.awaitingReply() && line.parity() == Parity::Mark;
                case Moment::AwaitingReply:
                    return engine.awaitingReply() && line.parity() == Parity::Space && engine.reply().isEmpty();
                case Moment::HalfReply: return engine.awaitingReply() && !engine.reply().isEmpty();
                }
                return false;
            },
            5000);
    }

    void startWrite()
    {
        engine.beginWrite(WriteKind::Settings);
        engine.EnqueueRequest(kPassword);
        engine.EnqueueRequest(kClock);
        engine.EnqueueRequest(kBilling);
    }

    size_t frameWritesSince(size_t from, quint8 code) const
    {
        size_t n = 0;
        for (size_t i = from; i < line.writes.size(); ++i)
            n += line.writes[i].parity == Parity::Space && ByteAt(line.writes[i].bytes, 0) == code;
        return n;
    }
};

// Every moment of the cycle, polling and inside a write (the password acknowledged, the clock
// frame under way): the operator disconnects and connects again.
TEST(EngineDisconnect, ReconnectAtEveryMomentStartsWithTheVersionRequest)
{
    for (const bool writing : {false, true}) {
        for (const Moment moment : {Moment::Gap, Moment::AddressPhase, Moment::AwaitingReply, Moment::HalfReply}) {
            SCOPED_TRACE(std::string(NameOf(moment)) + (writing ? ", writing" : ", polling"));
            Rig r;
            ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
            ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.requests().size() >= 3; }, 5000));
            if (writing) {
                r.startWrite();
                ASSERT_TRUE(r.timers.advanceUntil([&] { return ByteAt(r.engine.request(), 0) == 0x05; }, 5000));
                EXPECT_EQ(r.frameWritesSince(0, 0x14), 1u);
            }
            ASSERT_TRUE(r.reach(moment));
            if (writing) {
                ASSERT_EQ(ByteAt(r.engine.request(), 0), 0x05) << "caught inside the write";
            }

            ASSERT_TRUE(r.engine.disconnectLine());
            EXPECT_FALSE(r.engine.sendTimerEnabled());
            EXPECT_FALSE(r.engine.awaitingReply());
            EXPECT_TRUE(r.engine.request().isEmpty());
            EXPECT_TRUE(r.engine.reply().isEmpty());
            EXPECT_TRUE(r.engine.commands().isEmpty());
            EXPECT_FALSE(r.engine.writePending(WriteKind::Settings));
            EXPECT_EQ(r.line.parity(), Parity::Mark) << "the address phase starts afresh";

            // Reconnected at once, even before the old exchange's bytes would have come.
            const size_t from = r.line.writes.size();
            ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
            r.timers.advance(99);
            EXPECT_EQ(r.line.writes.size(), from) << "nothing goes out before the start timer";
            ASSERT_TRUE(r.timers.advanceUntil(
                [&] { return r.line.requests().size() > 0 && r.line.writes.size() >= from + 2; }, 5000));
            EXPECT_EQ(Hex(r.line.writes[from].bytes), QStringLiteral("00"));
            EXPECT_EQ(r.line.writes[from].parity, Parity::Mark);
            EXPECT_EQ(Hex(r.line.writes[from + 1].bytes), QStringLiteral("00 02 80 71"));
            EXPECT_EQ(r.line.writes[from + 1].parity, Parity::Space);

            // The meter sees nothing of the old write, and polling goes on as after any connect.
            r.timers.advance(3000);
            EXPECT_EQ(r.frameWritesSince(from, 0x05), 0u);
            EXPECT_EQ(r.frameWritesSince(from, 0x14), 0u);
            EXPECT_EQ(r.frameWritesSince(from, 0x0E), 0u);
            EXPECT_EQ(r.host.records, 0);
            EXPECT_EQ(r.engine.panel().Shape1.value(), Indicator::Hidden);
            EXPECT_TRUE(r.op.boxes.empty());
            EXPECT_EQ(r.engine.timeoutCount(), 0);
        }
    }
}

// Disconnected, nothing ticks: the send timer, the reply timer and the start timer are off.
TEST(EngineDisconnect, NothingTicksWhileDisconnected)
{
    Rig r;
    ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
    ASSERT_TRUE(r.reach(Moment::Gap));
    ASSERT_TRUE(r.engine.disconnectLine());
    const size_t writes = r.line.writes.size();
    const qsizetype lines = r.engine.log().lineCount();
    r.timers.advance(10000);
    EXPECT_EQ(r.line.writes.size(), writes);
    EXPECT_EQ(r.engine.log().lineCount(), lines);
    EXPECT_FALSE(r.engine.sendTimerEnabled());
}

// The port goes away under the station, polling and inside a write.
TEST(EngineDisconnect, LostLineDisconnectsAndFailsAWriteUnderWay)
{
    for (const bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "writing" : "polling");
        Rig r;
        QStringList lost;
        QObject::connect(&r.engine, &Engine::lineLost, [&](const QString &reason) { lost << reason; });
        ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
        ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.requests().size() >= 3; }, 5000));
        if (writing) {
            r.startWrite();
            ASSERT_TRUE(r.timers.advanceUntil([&] { return ByteAt(r.engine.request(), 0) == 0x05; }, 5000));
        }
        ASSERT_TRUE(r.reach(Moment::AwaitingReply));

        r.line.reportError(LineError::Other, QStringLiteral("Parity error"));
        EXPECT_TRUE(r.engine.isConnected()) << "a passing fault is no loss";
        EXPECT_TRUE(lost.isEmpty());

        r.line.reportError(LineError::Lost, QStringLiteral("Input/output error"));
        EXPECT_FALSE(r.engine.isConnected());
        EXPECT_FALSE(r.line.isOpen());
        EXPECT_EQ(lost, QStringList{QStringLiteral("Input/output error")});
        EXPECT_FALSE(r.engine.sendTimerEnabled());
        EXPECT_FALSE(r.engine.awaitingReply());
        EXPECT_TRUE(r.engine.request().isEmpty());
        EXPECT_FALSE(r.engine.writePending(WriteKind::Settings));
        EXPECT_FALSE(r.host.writeActions);
        EXPECT_EQ(r.host.records, 0);
        if (writing) {
            EXPECT_EQ(r.engine.panel().Shape1.value(), Indicator::Red);
            ASSERT_EQ(r.op.boxes.size(), 1u);
            EXPECT_EQ(r.op.boxes[0].text, Engine::WriteErrorText());
            EXPECT_EQ(r.op.boxes[0].caption, QStringLiteral("Ошибка"));
        } else {
            EXPECT_EQ(r.engine.panel().Shape1.value(), Indicator::Hidden);
            EXPECT_TRUE(r.op.boxes.empty());
        }

        // A second report of the same loss changes nothing; closing the box starts nothing.
        r.line.reportError(LineError::Lost, QStringLiteral("Input/output error"));
        EXPECT_EQ(lost.size(), 1);
        if (writing) {
            r.op.closeBox();
        }
        const size_t writes = r.line.writes.size();
        r.timers.advance(10000);
        EXPECT_EQ(r.line.writes.size(), writes) << "idle after the loss";
        EXPECT_FALSE(r.engine.sendTimerEnabled());
        EXPECT_EQ(r.host.records, 0);

        // The device is back: connecting works and starts afresh.
        ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
        ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.writes.size() >= writes + 2; }, 5000));
        EXPECT_EQ(Hex(r.line.writes[writes + 1].bytes), QStringLiteral("00 02 80 71"));
        r.timers.advance(2000);
        EXPECT_EQ(r.frameWritesSince(writes, 0x05), 0u);
        EXPECT_EQ(r.host.records, 0);
    }
}

// The write-error box of a failed write is still open when the operator disconnects and
// connects again: closing it then lets the new connection's exchanges run, once.
TEST(EngineDisconnect, WriteErrorBoxClosedAfterReconnectStartsPollingOnce)
{
    Rig r;
    ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
    ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.requests().size() >= 3; }, 5000));
    r.meter.answer = [](const QByteArray &request) -> std::optional<QByteArray> {
        if (ByteAt(request, 0) == 0x14)
            return std::nullopt; // the password is never answered: the write times out
        return test::TinyMeter{}.defaultReply(request);
    };
    r.startWrite();
    ASSERT_TRUE(r.timers.advanceUntil([&] { return !r.op.boxes.empty(); }, 5000));
    ASSERT_TRUE(r.engine.disconnectLine());
    ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
    const size_t from = r.line.writes.size();
    r.timers.advance(500);
    EXPECT_EQ(r.line.writes.size(), from) << "no exchange while the box is open";
    r.op.closeBox();
    ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.writes.size() >= from + 2; }, 5000));
    EXPECT_EQ(Hex(r.line.writes[from + 1].bytes), QStringLiteral("00 02 80 71"));
    EXPECT_EQ(r.host.records, 0);
}

// The meter never answers the write's first request here: without the fault only the time-out
// would end the exchange, a second after it began.
TEST(EngineLineFault, EveryPortFaultIsLoggedAndShownAndABlockedWriteFailsAtOnce)
{
    const struct {
        const char *name;
        Moment at;
        std::function<void(FakeLine &)> fault;
        const char *reason;
        bool endsExchange;
    } cases[] = {
        {"address byte refused", Moment::Gap, [](FakeLine &l) { l.failWritesIn = Parity::Mark; }, "Input/output error",
         true},
        {"request refused", Moment::AddressPhase, [](FakeLine &l) { l.failWritesIn = Parity::Space; },
         "Input/output error", true},
        {"write error reported", Moment::AwaitingReply,
         [](FakeLine &l) { l.reportError(LineError::Write, QStringLiteral("Write error")); }, "Write error", true},
        {"framing error", Moment::AwaitingReply,
         [](FakeLine &l) { l.reportError(LineError::Other, QStringLiteral("Framing error")); }, "Framing error", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.engine.log().CheckBox_Terminal.set(true);
        r.meter.answer = [](const QByteArray &request) -> std::optional<QByteArray> {
            if (request.startsWith(kPassword))
                return std::nullopt;
            return test::TinyMeter{}.defaultReply(request);
        };
        ASSERT_TRUE(r.engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
        ASSERT_TRUE(r.timers.advanceUntil([&] { return r.line.requests().size() >= 2; }, 5000));
        r.startWrite();
        ASSERT_TRUE(r.timers.advanceUntil([&] { return r.engine.request().startsWith(kPassword); }, 5000));
        ASSERT_TRUE(r.reach(c.at));
        c.fault(r.line);
        r.timers.advance(100);

        const QString text = QStringLiteral("Ошибка порта /dev/ttyFAKE: ") + QString::fromUtf8(c.reason);
        EXPECT_EQ(std::count(r.engine.log().lines().begin(), r.engine.log().lines().end(), text), 1);
        EXPECT_EQ(r.linkPanel.StatusPanel1.value(), text);
        EXPECT_EQ(r.op.boxes.size(), c.endsExchange ? 1u : 0u);
        EXPECT_EQ(r.linkPanel.Shape1.value(), c.endsExchange ? Indicator::Red : Indicator::Hidden);
        EXPECT_EQ(r.engine.awaitingReply(), !c.endsExchange);
        EXPECT_EQ(r.host.records, 0);
    }
}

} // namespace
} // namespace ordan
