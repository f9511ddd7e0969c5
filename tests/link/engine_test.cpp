#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "link/poll_cycle.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace ordan {
namespace {

using test::FakeLine;
using test::Hex;

struct FakeHost final : EngineHost {
    void clearMeterData() override { ++clears; }
    void recordProgramming() override { ++records; }
    void setWriteActionsEnabled(bool on) override { writeActions = on; }
    void setFindAddressEnabled(bool on) override { findAddress = on; }
    void replyAccepted(quint8 code) override { accepted.push_back(code); }
    void meterSilent() override { ++silences; }

    int clears = 0;
    int records = 0;
    int silences = 0;
    bool writeActions = false;
    bool findAddress = false;
    std::vector<quint8> accepted;
};

struct EngineFixture : ::testing::Test {
    VirtualTimers timers;
    FakeLine line{timers};
    test::FakeOperator op;
    FakeHost host;
    test::TinyMeter meter;
    ConnectionPanel linkPanel{timers};
    Engine engine{line,      timers,
                  op,        host,
                  linkPanel, [this] { return QDateTime(QDate(2026, 12, 8), QTime(14, 0)).addMSecs(timers.now()); }};

    EngineFixture()
    {
        line.responder = meter.responder();
        engine.setDecoder(FunctionCode::ReadFirmwareVersion,
                          [this](const QByteArray &r) { engine.setMeterVersion(BcdDecode(ByteAt(r, 3))); });
    }

    void connectAndStart()
    {
        ASSERT_TRUE(engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
        timers.advance(100);
    }

    std::vector<int> requestCodes(size_t from = 0) const
    {
        std::vector<int> out;
        const auto reqs = line.requests();
        for (size_t i = from; i < reqs.size(); ++i)
            out.push_back(ByteAt(reqs[i], 0));
        return out;
    }

    bool logHas(const QString &line) const
    {
        for (const QString &l : engine.log().lines())
            if (l == line)
                return true;
        return false;
    }

    size_t countRequestsWithCode(int code) const
    {
        size_t n = 0;
        for (int c : requestCodes())
            n += c == code;
        return n;
    }
};

TEST_F(EngineFixture, FirstRequestIsTheVersionRequest100msAfterConnecting)
{
    ASSERT_TRUE(engine.connectLine(QStringLiteral("/dev/ttyFAKE"), 4800));
    EXPECT_EQ(host.clears, 1);
    timers.advance(99);
    EXPECT_TRUE(engine.commands().isEmpty());
    timers.advance(1);
    ASSERT_EQ(engine.commands().size(), 1);
    EXPECT_EQ(Hex(engine.commands().head()), QStringLiteral("00 02 80 71"));
    EXPECT_EQ(Hex(engine.request()), QStringLiteral("00 02 80 71"));
    EXPECT_TRUE(line.writes.empty());
    timers.advance(50); // the next tick of the send timer
    ASSERT_EQ(line.writes.size(), 1u);
    EXPECT_EQ(Hex(line.writes[0].bytes), QStringLiteral("00"));
    EXPECT_EQ(line.writes[0].parity, Parity::Mark);
    EXPECT_EQ(line.writes[0].at, 150);
    timers.advance(meter.turnaroundMs);
    ASSERT_EQ(line.writes.size(), 2u);
    EXPECT_EQ(Hex(line.writes[1].bytes), QStringLiteral("00 02 80 71"));
    EXPECT_EQ(line.writes[1].parity, Parity::Space);
    EXPECT_EQ(engine.sendCount(), 1);
}

TEST_F(EngineFixture, PollOrderFollowsTheMeterVersion)
{
    const struct {
        int major;
        std::vector<int> codes;
    } cases[] = {
        {0x05, {0x00, 0x00, 0x01, 0x04, 0x0D, 0x0F, 0x0A, 0x11, 0x0C, 0x06, 0x22, 0x00, 0x01}},
        {0x10, {0x00, 0x00, 0x01, 0x04, 0x0D, 0x0F, 0x0A, 0x11, 0x0C, 0x06, 0x22, 0x2A, 0x00, 0x01}},
    };
    for (const auto &c : cases) {
        VirtualTimers t;
        FakeLine l{t};
        test::TinyMeter m;
        m.major = c.major;
        l.responder = m.responder();
        FakeHost h;
        test::FakeOperator o;
        ConnectionPanel panel{t};
        Engine e{l, t, o, h, panel, [] { return QDateTime::currentDateTime(); }};
        e.setDecoder(FunctionCode::ReadFirmwareVersion,
                     [&](const QByteArray &r) { e.setMeterVersion(BcdDecode(ByteAt(r, 3))); });
        ASSERT_TRUE(e.connectLine(QStringLiteral("x"), 4800));
        t.advanceUntil([&] { return l.requests().size() >= c.codes.size(); }, 60000);
        std::vector<int> codes;
        for (const QByteArray &r : l.requests())
            codes.push_back(ByteAt(r, 0));
        codes.resize(c.codes.size());
        EXPECT_EQ(codes, c.codes) << "version " << c.major;
        EXPECT_EQ(e.meterVersion(), c.major == 0x10 ? 10 : 5);
    }
}

TEST_F(EngineFixture, WriteSequenceThatSucceedsIsRecordedOnceAndPollingResumes)
{
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 4; }, 5000); // version, steps 0..2 on the wire
    const quint8 savedStep = engine.pollStep();
    const int clearsBefore = host.clears;

    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
    engine.EnqueueRequest(Bytes({0x05, 0x0A, 0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80}));
    engine.EnqueueRequest(Bytes({0x0E, 0x03, 0x01}));
    EXPECT_EQ(engine.pollStep(), savedStep); // nothing appended while the sequence waits
    const size_t before = line.requests().size();
    int hidden = 0;
    QObject::connect(&linkPanel, &ConnectionPanel::indicatorHidden, [&] { ++hidden; });

    timers.advanceUntil([&] { return engine.panel().Shape1.value() == Indicator::Green; }, 5000);
    ASSERT_EQ(engine.panel().Shape1.value(), Indicator::Green);
    const auto codes = requestCodes(before);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(std::vector<int>(codes.end() - 3, codes.end()), (std::vector<int>{0x14, 0x05, 0x0E}));
    EXPECT_EQ(host.records, 1);
    EXPECT_EQ(host.clears, clearsBefore + 1);
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    // The poll request appended after the write is the step where polling stopped.
    EXPECT_EQ(ByteAt(engine.commands().head(), 0), CodeByte(kPollCodes[savedStep]));

    timers.advance(1999);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Green);
    timers.advance(1);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
    EXPECT_EQ(hidden, 1) << "the end of the indicator resets the fields";
    EXPECT_EQ(host.records, 1);
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(EngineFixture, ASecondWriteBehindTheFirstCompletesWithItAndIsRecordedOnce)
{
    connectAndStart();
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
    engine.beginWrite(WriteKind::Schedule);
    engine.EnqueueRequest(Bytes({0x08, 0x03, 0x00}));
    EXPECT_TRUE(engine.writePending(WriteKind::Settings));
    EXPECT_TRUE(engine.writePending(WriteKind::Schedule));
    timers.advanceUntil([&] { return engine.panel().Shape1.value() == Indicator::Green; }, 5000);
    EXPECT_EQ(host.records, 1);
    EXPECT_EQ(engine.state(), EngineState::Polling);
}

TEST_F(EngineFixture, TimeOutInsideAWriteAbortsItWithTheBoxAndRecordsNothing)
{
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 2; }, 5000);
    meter.answer = [this](const QByteArray &r) -> std::optional<QByteArray> {
        if (ByteAt(r, 0) == 0x05)
            return std::nullopt;
        return meter.defaultReply(r);
    };
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
    engine.EnqueueRequest(Bytes({0x05, 0x0A, 0, 0, 0, 1, 1, 1, 0x26, 0}));
    engine.EnqueueRequest(Bytes({0x0E, 0x03, 0x01}));

    timers.advanceUntil([&] { return !op.boxes.empty(); }, 10000);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, Engine::WriteErrorText());
    EXPECT_EQ(op.boxes[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(op.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Red);
    EXPECT_EQ(host.records, 0);
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_TRUE(logHas(QStringLiteral("Timeout.")));

    // No exchange starts while the box is open.
    const size_t writesWithBoxOpen = line.writes.size();
    timers.advance(5000);
    EXPECT_EQ(line.writes.size(), writesWithBoxOpen);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden); // the indicator goes out after 2 s regardless

    ASSERT_TRUE(op.closeBox());
    timers.advanceUntil([&] { return line.requests().size() > 0 && line.writes.size() > writesWithBoxOpen + 1; }, 1000);
    EXPECT_GT(line.writes.size(), writesWithBoxOpen);
    EXPECT_EQ(countRequestsWithCode(0x0E), 0u);
    EXPECT_EQ(host.records, 0);
}

TEST_F(EngineFixture, AFailedReplyDuringAWriteShowsTheBoxAndPollingWaitsForIt)
{
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 2; }, 5000);
    meter.answer = [this](const QByteArray &r) -> std::optional<QByteArray> {
        if (ByteAt(r, 0) == 0x14)
            return AppendCrc(Bytes({0x94, 0x03, 0x06})); // access denied
        return meter.defaultReply(r);
    };
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x07, 0x00}));
    engine.EnqueueRequest(Bytes({0x05, 0x0A, 0, 0, 0, 1, 1, 1, 0x26, 0}));
    timers.advanceUntil([&] { return !op.boxes.empty(); }, 5000);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_TRUE(logHas(QStringLiteral("Ошибка: Доступ запрещен")));
    const size_t writes = line.writes.size();
    timers.advance(3000);
    EXPECT_EQ(line.writes.size(), writes);
    op.closeBox();
    timers.advance(49);
    EXPECT_EQ(line.writes.size(), writes);
    timers.advance(1);
    EXPECT_EQ(line.writes.size(), writes + 1);
    EXPECT_EQ(countRequestsWithCode(0x05), 0u);
    EXPECT_EQ(host.records, 0);
}

// The rest of a failed write is dropped for good: once the box is closed and the meter
// answers everything again, only poll requests go out.
TEST_F(EngineFixture, AnAbortedWriteSendsNothingMoreOfItAfterTheBoxCloses)
{
    const struct {
        const char *name;
        std::optional<QByteArray> failure; // nullopt: no answer, the exchange times out
    } cases[] = {
        {"error reply", AppendCrc(Bytes({0xA3, 0x03, 0x06}))},
        {"time-out", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        VirtualTimers t;
        FakeLine l{t};
        test::TinyMeter m;
        bool failed = false;
        m.answer = [&](const QByteArray &r) -> std::optional<QByteArray> {
            if (ByteAt(r, 0) == 0x23 && !failed) {
                failed = true;
                return c.failure;
            }
            return m.defaultReply(r);
        };
        l.responder = m.responder();
        FakeHost h;
        test::FakeOperator o;
        ConnectionPanel panel{t};
        Engine e{l, t, o, h, panel, [] { return QDateTime::currentDateTime(); }};
        ASSERT_TRUE(e.connectLine(QStringLiteral("x"), 4800));
        t.advanceUntil([&] { return l.requests().size() >= 2; }, 5000);
        e.beginWrite(WriteKind::Settings);
        e.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
        e.EnqueueRequest(Bytes({0x23, 0x04, 0x05, 0x00}));
        e.EnqueueRequest(Bytes({0x05, 0x0A, 0, 0, 0x12, 1, 1, 0x26, 0x03, 0}));
        e.EnqueueRequest(Bytes({0x0E, 0x03, 0x01}));
        t.advanceUntil([&] { return !o.boxes.empty(); }, 5000);
        ASSERT_EQ(o.boxes.size(), 1u);
        const size_t failedAt = l.requests().size();
        ASSERT_EQ(ByteAt(l.requests().back(), 0), 0x23);

        ASSERT_TRUE(o.closeBox());
        t.advance(5000);
        const auto reqs = l.requests();
        ASSERT_GT(reqs.size(), failedAt + 20);
        for (size_t i = failedAt; i < reqs.size(); ++i)
            EXPECT_TRUE(IsPollCode(ByteAt(reqs[i], 0))) << Hex(reqs[i]).toStdString();
        EXPECT_EQ(o.boxes.size(), 1u);
        EXPECT_EQ(h.records, 0);
    }
}

TEST_F(EngineFixture, WrongReplyWhilePollingSkipsOneStep)
{
    meter.answer = [this](const QByteArray &r) -> std::optional<QByteArray> {
        if (ByteAt(r, 0) == 0x0D)
            return AppendCrc(Bytes({0x0E, 0x03, 0x00}));
        return meter.defaultReply(r);
    };
    connectAndStart();
    timers.advanceUntil([&] { return countRequestsWithCode(0x0D) == 1 && line.requests().size() >= 7; }, 5000);
    auto codes = requestCodes();
    // version, step 0 (00), 1 (01), 2 (04), 3 (0D fails) -> step 5 (0A) is next; step 4 is skipped.
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(codes[4], 0x0D);
    EXPECT_EQ(codes[5], 0x0A);
    EXPECT_TRUE(logHas(QStringLiteral("Неверный отклик")));
}

TEST_F(EngineFixture, SixthConsecutiveTimeOutTakesTheMeterForGoneAndOneReplyByteReenablesWriting)
{
    engine.panel().SpinAddr.set(9);
    meter.address = 3;
    connectAndStart();
    host.writeActions = true;
    const int clearsBefore = host.clears;
    for (int i = 1; i <= 5; ++i) {
        timers.advanceUntil([&] { return engine.timeoutCount() == i; }, 2000);
        EXPECT_TRUE(host.writeActions) << i;
        EXPECT_TRUE(host.findAddress);
    }
    EXPECT_EQ(host.silences, 0);
    EXPECT_EQ(host.clears, clearsBefore);
    timers.advanceUntil([&] { return engine.timeoutCount() == 6; }, 2000);
    EXPECT_EQ(host.silences, 1);
    EXPECT_EQ(engine.panel().SpinAddr.value(), 9) << "where to look next is the station's choice";
    timers.advanceUntil([&] { return engine.timeoutCount() == 7; }, 2000);
    EXPECT_EQ(host.silences, 2); // every further time-out repeats it
    host.writeActions = false;

    meter.address = 9;
    timers.advanceUntil([&] { return host.writeActions; }, 3000);
    EXPECT_TRUE(host.writeActions);
    EXPECT_EQ(engine.timeoutCount(), 0);
    EXPECT_FALSE(host.findAddress);
}

TEST_F(EngineFixture, PasswordEditCostsOneSilentTimeOutThenTheSameRequestGoesToThePlainAddress)
{
    engine.panel().SpinAddr.set(4);
    meter.address = 4;
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 3; }, 5000);
    timers.advanceUntil([&] { return !engine.awaitingReply(); }, 5000);
    engine.setPasswordChanged(true);
    const size_t writes = line.writes.size();
    const int timeouts = engine.timeoutCount();
    const qsizetype lines = engine.log().lineCount();
    const QByteArray head = engine.commands().head();

    timers.advanceUntil([&] { return line.writes.size() > writes; }, 1000);
    EXPECT_EQ(Hex(line.writes[writes].bytes), QStringLiteral("05")); // bus address + 1
    timers.advanceUntil([&] { return !engine.passwordChanged(); }, 2000);
    EXPECT_EQ(engine.timeoutCount(), timeouts);
    EXPECT_EQ(engine.log().lineCount(), lines);
    timers.advanceUntil([&] { return line.writes.size() > writes + 2; }, 1000);
    EXPECT_EQ(Hex(line.writes[writes + 1].bytes), QStringLiteral("04"));
    EXPECT_EQ(line.writes[writes + 2].bytes, head);
}

TEST_F(EngineFixture, AddressSearchFindsTheMeter)
{
    const struct {
        int from; // where the search stands when the pending exchange times out
        int meter;
        std::vector<quint8> tried;
    } cases[] = {
        {0, 7, {1, 2, 3, 4, 5, 6, 7}}, {254, 1, {255, 0, 1}}, // 255 is followed by 0
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.from);
        VirtualTimers t;
        FakeLine l{t};
        test::TinyMeter m;
        m.address = c.meter;
        l.responder = m.responder();
        FakeHost h;
        test::FakeOperator o;
        ConnectionPanel panel{t};
        Engine e{l, t, o, h, panel, [] { return QDateTime::currentDateTime(); }};
        ASSERT_TRUE(e.connectLine(QStringLiteral("x"), 4800));
        t.advance(160); // the first exchange to address 0 is waiting for its reply
        ASSERT_TRUE(e.awaitingReply());
        e.ActionFindAddressExecute();
        EXPECT_EQ(panel.SpinAddr.value(), 0);
        panel.SpinAddr.set(c.from);
        const qsizetype lines = e.log().lineCount();
        t.advanceUntil([&] { return !e.addressSearch(); }, 20000);
        EXPECT_FALSE(e.addressSearch());
        EXPECT_EQ(panel.SpinAddr.value(), c.meter);
        EXPECT_EQ(e.log().lineCount(), lines); // no time-out lines during the search
        const auto addresses = l.addressBytes();
        EXPECT_EQ(std::vector<quint8>(addresses.begin() + 1, addresses.end()), c.tried);
        EXPECT_FALSE(h.findAddress);
    }
}

TEST_F(EngineFixture, DisconnectingMidWriteNeitherLightsTheIndicatorNorRecords)
{
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 2; }, 5000);
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
    engine.EnqueueRequest(Bytes({0x05, 0x0A, 0, 0, 0, 1, 1, 1, 0x26, 0}));
    engine.EnqueueRequest(Bytes({0x0E, 0x03, 0x01}));
    timers.advanceUntil([&] { return countRequestsWithCode(0x14) == 1; }, 5000);
    ASSERT_TRUE(engine.disconnectLine());
    EXPECT_TRUE(engine.commands().isEmpty());
    const size_t writes = line.writes.size();
    timers.advance(5000);
    EXPECT_EQ(line.writes.size(), writes);
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
    EXPECT_EQ(host.records, 0);
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_FALSE(host.findAddress);
    EXPECT_FALSE(host.writeActions);
    EXPECT_FALSE(logHas(QStringLiteral("Timeout.")));

    // Reconnecting starts again with the version request.
    connectAndStart();
    timers.advance(100);
    EXPECT_EQ(Hex(line.requests().back()), QStringLiteral("00 02 80 71"));
}

TEST_F(EngineFixture, StrayByteAfterAValidReplyAbandonsTheQueueSilently)
{
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 3; }, 5000);
    // Wait for the reply to step 1, then a stray byte before the next address byte.
    timers.advanceUntil([&] { return !engine.awaitingReply() && engine.sendTimerEnabled(); }, 5000);
    const quint8 nextHead = ByteAt(engine.commands().head(), 0);
    const qsizetype lines = engine.log().lineCount();
    line.deliver(Bytes({0x55}));
    EXPECT_EQ(engine.log().lineCount(), lines);
    // Two poll steps are skipped: the emptying appends one, the removal of the head another.
    int idx = 0;
    while (CodeByte(kPollCodes[idx]) != nextHead)
        ++idx;
    EXPECT_EQ(ByteAt(engine.commands().head(), 0), CodeByte(kPollCodes[NextPollStep(NextPollStep(idx, 10), 10)]));
}

TEST_F(EngineFixture, ReplyCompletingAfterItsTimeOutIsDroppedWithoutAMessage)
{
    engine.panel().SpinTimer.set(200);
    meter.answer = [this](const QByteArray &r) -> std::optional<QByteArray> { return meter.defaultReply(r); };
    connectAndStart();
    timers.advanceUntil([&] { return line.requests().size() >= 2; }, 5000);
    timers.advanceUntil([&] { return !engine.awaitingReply() && engine.sendTimerEnabled(); }, 5000);
    meter.turnaroundMs = 215; // echo at +215 arrives after the 200 ms time-out
    line.responder = meter.responder();
    timers.advanceUntil([&] { return engine.awaitingReply(); }, 200);
    const size_t writes = line.writes.size();
    timers.advance(200);
    EXPECT_FALSE(engine.awaitingReply());
    EXPECT_TRUE(logHas(QStringLiteral("Timeout.")));
    const qsizetype lines = engine.log().lineCount();
    timers.advance(20); // the late echo: no request follows it
    EXPECT_EQ(line.writes.size(), writes);
    EXPECT_EQ(engine.log().lineCount(), lines);
}

TEST_F(EngineFixture, LateCompleteReplyInTheReplyPhaseAbandonsTheQueue)
{
    engine.panel().SpinTimer.set(200);
    meter.answer = [this](const QByteArray &r) -> std::optional<QByteArray> {
        if (ByteAt(r, 0) == 0x04)
            return std::nullopt; // the reply comes later, by hand
        return meter.defaultReply(r);
    };
    connectAndStart();
    timers.advanceUntil([&] { return countRequestsWithCode(0x04) == 1; }, 5000);
    timers.advanceUntil([&] { return !engine.awaitingReply(); }, 500);
    ASSERT_TRUE(logHas(QStringLiteral("Timeout.")));
    const qsizetype lines = engine.log().lineCount();
    const quint8 head = ByteAt(engine.commands().head(), 0);
    line.deliver(AppendCrc(Bytes({0x04, 0x03, 0x00})));
    EXPECT_EQ(engine.log().lineCount(), lines);
    EXPECT_NE(ByteAt(engine.commands().head(), 0), head);
}

TEST_F(EngineFixture, QueueingWhileDisconnectedSendsNothing)
{
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x12, 0x03, 0x00}));
    EXPECT_TRUE(engine.commands().isEmpty());
    EXPECT_FALSE(engine.writePending(WriteKind::Settings)) << "nothing queued, nothing to complete";
    timers.advance(1000);
    EXPECT_TRUE(line.writes.empty());
}

TEST_F(EngineFixture, OpenFailureLeavesTheEngineDisconnected)
{
    line.failOpen = true;
    EXPECT_FALSE(engine.connectLine(QStringLiteral("/dev/none"), 4800));
    EXPECT_FALSE(engine.isConnected());
    timers.advance(500);
    EXPECT_TRUE(line.writes.empty());
}

TEST_F(EngineFixture, DsrAndBreakShowInStatusPanel1UntilTheNextReceiveEvent)
{
    line.dsrState = false;
    connectAndStart();
    EXPECT_EQ(engine.panel().StatusPanel1.value(), QStringLiteral("DSR не установлен"));
    timers.advanceUntil([&] { return engine.panel().StatusPanel1.value().isEmpty(); }, 1000);
    line.deliverBreak();
    EXPECT_EQ(engine.panel().StatusPanel1.value(), QStringLiteral("Break received"));
    timers.advanceUntil([&] { return engine.panel().StatusPanel1.value().isEmpty(); }, 1000);
    EXPECT_TRUE(engine.panel().StatusPanel1.value().isEmpty());
}

TEST_F(EngineFixture, EchoWithExtraBytesSendsTheRequestAndDropsTheRest)
{
    line.responder = [](const QByteArray &bytes, Parity parity) -> std::vector<FakeLine::Answer> {
        if (parity == Parity::Mark)
            return {{5, bytes + Bytes({0xAA, 0xBB})}};
        return {};
    };
    connectAndStart();
    timers.advance(60);
    ASSERT_EQ(line.requests().size(), 1u);
    EXPECT_EQ(Hex(line.requests()[0]), QStringLiteral("00 02 80 71"));
    EXPECT_TRUE(engine.reply().isEmpty());
}

TEST_F(EngineFixture, WrongEchoSendsNothingAndTimesOut)
{
    line.responder = [](const QByteArray &, Parity parity) -> std::vector<FakeLine::Answer> {
        if (parity == Parity::Mark)
            return {{5, Bytes({0x01})}};
        return {};
    };
    connectAndStart();
    timers.advance(1100);
    EXPECT_TRUE(line.requests().empty());
    EXPECT_EQ(engine.timeoutCount(), 1);
}

TEST_F(EngineFixture, RtsIsRaisedForEveryTransmissionAndDroppedWhenTheBytesHaveLeft)
{
    connectAndStart();
    timers.advance(50);
    EXPECT_TRUE(line.rts);
    timers.advance(1);
    EXPECT_FALSE(line.rts);
}

TEST_F(EngineFixture, SpinTimerChangeRestartsARunningTimeOut)
{
    meter.address = 5; // never answers
    connectAndStart();
    timers.advance(50 + 900);
    ASSERT_TRUE(engine.awaitingReply());
    engine.panel().SpinTimer.edit(300);
    timers.advance(299);
    EXPECT_TRUE(engine.awaitingReply());
    timers.advance(1);
    EXPECT_FALSE(engine.awaitingReply());
}

// Any byte sequence from the line, in any chunks at any time, leaves the engine consistent:
// connected means a request at the head, and the head is what goes out next.
TEST_F(EngineFixture, RandomChunksNeverLeaveTheEngineInconsistent)
{
    std::mt19937 rng(20261209);
    engine.panel().SpinTimer.set(200);
    for (quint8 code = 0; code < 0x30; ++code) {
        engine.setDecoder(static_cast<FunctionCode>(code), [](const QByteArray &r) {
            // Decoders may read any offset; ByteAt keeps them inside the reply.
            volatile quint64 v = LittleEndian(r, 2, 8) + ByteAt(r, 40);
            (void)v;
        });
    }
    int boxes = 0;
    line.responder = [&](const QByteArray &bytes, Parity parity) -> std::vector<FakeLine::Answer> {
        std::vector<FakeLine::Answer> out;
        if (parity == Parity::Mark && rng() % 4 != 0)
            out.push_back({static_cast<qint64>(rng() % 30), bytes});
        const int chunks = static_cast<int>(rng() % 4);
        for (int i = 0; i < chunks; ++i) {
            QByteArray chunk;
            const int n = static_cast<int>(rng() % 12);
            const quint8 code = parity == Parity::Space ? ByteAt(bytes, 0) : static_cast<quint8>(rng());
            for (int k = 0; k < n; ++k)
                chunk.append(static_cast<char>(k == 0 && rng() % 2 ? code : rng()));
            if (rng() % 3 == 0 && parity == Parity::Space)
                chunk = AppendCrc(Bytes({code, 0x02 + static_cast<int>(rng() % 3)}) +
                                  QByteArray(static_cast<int>(rng() % 3), '\0'));
            out.push_back({static_cast<qint64>(rng() % 250), chunk});
        }
        return out;
    };
    connectAndStart();
    for (int step = 0; step < 20000; ++step) {
        timers.advance(static_cast<qint64>(rng() % 20));
        if (rng() % 500 == 0) {
            engine.beginWrite(WriteKind::Settings);
            engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
            engine.EnqueueRequest(Bytes({0x07, 0x02}));
        }
        while (op.closeBox())
            ++boxes;
        if (engine.isConnected()) {
            ASSERT_FALSE(engine.commands().isEmpty()) << step;
            ASSERT_EQ(engine.request(), engine.commands().head()) << step;
        }
    }
    EXPECT_GT(line.requests().size(), 100u);
}

} // namespace
} // namespace ordan

namespace ordan {
namespace {

TEST_F(EngineFixture, AWriteQueuedBeforeTheFirstRequestIsDroppedNotRecorded)
{
    meter.turnaroundMs = 40; // the write's exchange is still under way when the start timer fires
    line.responder = meter.responder();
    ASSERT_TRUE(engine.connectLine(QStringLiteral("x"), 4800));
    timers.advance(20);
    engine.beginWrite(WriteKind::Settings);
    engine.EnqueueRequest(Bytes({0x14, 0x04, 0x01, 0x00}));
    timers.advance(2000);
    EXPECT_EQ(host.records, 0);
    EXPECT_NE(engine.panel().Shape1.value(), Indicator::Green);
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
}

} // namespace
} // namespace ordan
