#include "link/frame.h"
#include "sim/simulated_line.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::FromHex;
using test::Hex;

struct Event {
    qint64 atMs;
    QString what;
    bool operator==(const Event &o) const { return atMs == o.atMs && what == o.what; }
};

void PrintTo(const Event &e, std::ostream *os) { *os << e.atMs << ':' << e.what.toStdString(); }

// Records every line event with its virtual time; reads the bytes at once, as the engine does.
class Recorder final : public LineListener {
public:
    Recorder(VirtualTimers &timers, Line &line) : timers_(timers), line_(line) {}
    void lineBytesReceived() override
    {
        events.push_back({timers_.now(), QStringLiteral("rx ") + Hex(line_.readAll())});
    }
    void lineTransmitEmpty() override { events.push_back({timers_.now(), QStringLiteral("tx-empty")}); }
    void lineBreak() override { events.push_back({timers_.now(), QStringLiteral("break")}); }
    std::vector<Event> events;

private:
    VirtualTimers &timers_;
    Line &line_;
};

const QByteArray kVersionRequest = FromHex(QStringLiteral("00 02 80 71"));

class SimulatedLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        line.setListener(&recorder);
        ASSERT_TRUE(line.open(QStringLiteral("COM1"), 4800));
    }

    VirtualTimers timers;
    SimulatedMeter meter{[this] { return timers.now(); }};
    MeterEndpoint endpoint{meter};
    SimulatedLine line{timers, endpoint};
    Recorder recorder{timers, line};
};

// At 4800 baud a character takes 2.2917 ms; the meter turns round in 5 ms.
TEST_F(SimulatedLineTest, AddressEchoAndReplyOnTheWiresTime)
{
    ASSERT_TRUE(line.setParity(Parity::Mark));
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    timers.advanceTo(9);
    EXPECT_EQ(recorder.events, (std::vector<Event>{{3, QStringLiteral("tx-empty")}}));
    timers.advanceTo(10); // 2.29 out + 5 + 2.29 back
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_EQ(recorder.events[1], (Event{10, QStringLiteral("rx 00")}));

    ASSERT_TRUE(line.setParity(Parity::Space));
    ASSERT_TRUE(line.write(kVersionRequest));
    timers.advanceTo(100);
    // The frame is out at 19.17; the six reply bytes take 13.75 ms after the turnaround.
    EXPECT_EQ(recorder.events, (std::vector<Event>{{3, QStringLiteral("tx-empty")},
                                                   {10, QStringLiteral("rx 00")},
                                                   {20, QStringLiteral("tx-empty")},
                                                   {38, QStringLiteral("rx 00 04 03 10 40 D9")}}));
}

TEST_F(SimulatedLineTest, RecordsTheWireWithParityAndNeverHearsItself)
{
    ASSERT_TRUE(line.setParity(Parity::Mark));
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    timers.advance(20);
    ASSERT_TRUE(line.setParity(Parity::Space));
    ASSERT_TRUE(line.write(kVersionRequest));
    timers.advance(100);

    EXPECT_EQ(Hex(line.writtenBytes()), QStringLiteral("00 00 02 80 71"));
    ASSERT_EQ(line.written().size(), 5u);
    EXPECT_EQ(line.written()[0].parity, Parity::Mark);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_EQ(line.written()[i].parity, Parity::Space);
    EXPECT_EQ(line.written()[1].atMs, 20);
    EXPECT_EQ(Hex(line.delivered()), QStringLiteral("00 00 04 03 10 40 D9"));
    EXPECT_EQ(line.readAll(), QByteArray());
}

TEST_F(SimulatedLineTest, ParityChangeAfterAWriteDoesNotTouchIt)
{
    // The address byte goes out in mark parity even though the line is space while it travels.
    ASSERT_TRUE(line.setParity(Parity::Mark));
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    ASSERT_TRUE(line.setParity(Parity::Space));
    timers.advance(20);
    EXPECT_EQ(Hex(line.delivered()), QStringLiteral("00"));
}

TEST_F(SimulatedLineTest, ChunkedReplyArrivesPieceByPiece)
{
    Faults f;
    f.chunkSize = 2;
    f.chunkGapMs = 10;
    endpoint.setFaults(f);
    ASSERT_TRUE(line.setParity(Parity::Mark));
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    timers.advanceTo(10);
    ASSERT_TRUE(line.setParity(Parity::Space));
    ASSERT_TRUE(line.write(kVersionRequest));
    timers.advanceTo(200);
    std::vector<Event> rx;
    for (const Event &e : recorder.events)
        if (e.what.startsWith(QStringLiteral("rx")) && e.atMs > 10)
            rx.push_back(e);
    // Pieces end at 28.75, 43.33 and 57.92.
    EXPECT_EQ(rx, (std::vector<Event>{{29, QStringLiteral("rx 00 04")},
                                      {44, QStringLiteral("rx 03 10")},
                                      {58, QStringLiteral("rx 40 D9")}}));
}

TEST_F(SimulatedLineTest, EchoAtTheTurnaroundAtOtherBauds)
{
    ASSERT_TRUE(line.close());
    ASSERT_TRUE(line.open(QStringLiteral("COM1"), 1200));
    endpoint.setTurnaroundMs(20);
    ASSERT_TRUE(line.setParity(Parity::Mark));
    const qint64 start = timers.now();
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    // 9.17 ms out, 20 ms turnaround, 9.17 ms back.
    ASSERT_TRUE(timers.advanceUntil([&] { return !line.delivered().isEmpty(); }, 100));
    EXPECT_EQ(timers.now() - start, 39);
}

TEST_F(SimulatedLineTest, BackToBackWritesGiveOneTransmitEmpty)
{
    ASSERT_TRUE(line.setParity(Parity::Space));
    ASSERT_TRUE(line.write(FromHex(QStringLiteral("01 02"))));
    ASSERT_TRUE(line.write(FromHex(QStringLiteral("03 04"))));
    timers.advance(50);
    ASSERT_EQ(line.transmitEmptyCount(), 1);
    EXPECT_EQ(recorder.events.front(), (Event{10, QStringLiteral("tx-empty")})); // 4 characters, 9.17 ms
}

TEST_F(SimulatedLineTest, RtsIsRecorded)
{
    line.setRts(true);
    timers.advance(5);
    line.setRts(false);
    timers.advance(5);
    line.setRts(true);
    EXPECT_TRUE(line.rts());
    ASSERT_EQ(line.rtsChanges().size(), 3u);
    EXPECT_EQ(line.rtsChanges()[0].atMs, 0); // raised by open
    EXPECT_EQ(line.rtsChanges()[1].atMs, 5);
    EXPECT_FALSE(line.rtsChanges()[1].on);
    EXPECT_EQ(line.rtsChanges()[2].atMs, 10);
}

TEST_F(SimulatedLineTest, OpenAndCloseCanBeMadeToFail)
{
    ASSERT_TRUE(line.close());
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(line.write(QByteArray(1, '\0')));
    line.setOpenFails(true, QStringLiteral("busy"));
    const Status refused = line.open(QStringLiteral("COM2"), 4800);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error(), QStringLiteral("busy"));
    EXPECT_FALSE(line.isOpen());
    line.setOpenFails(false);
    ASSERT_TRUE(line.open(QStringLiteral("COM2"), 9600));
    EXPECT_EQ(line.portName(), QStringLiteral("COM2"));
    EXPECT_EQ(line.baud(), 9600);
    line.setCloseFails(true);
    EXPECT_FALSE(line.close());
    EXPECT_TRUE(line.isOpen());
}

TEST_F(SimulatedLineTest, ClosingDropsWhatIsStillOnTheWire)
{
    ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    timers.advance(5);
    ASSERT_TRUE(line.close());
    ASSERT_TRUE(line.open(QStringLiteral("COM1"), 4800));
    timers.advance(50);
    for (const Event &e : recorder.events)
        EXPECT_FALSE(e.what.startsWith(QStringLiteral("rx"))) << e.what.toStdString();
    EXPECT_EQ(line.readAll(), QByteArray());
}

TEST_F(SimulatedLineTest, DsrBreakAndForeignBytes)
{
    EXPECT_TRUE(line.dsr());
    line.setDsr(false);
    EXPECT_FALSE(line.dsr());
    line.injectBreak(7);
    line.injectBytes(FromHex(QStringLiteral("AA")), 20);
    timers.advance(30);
    EXPECT_EQ(recorder.events, (std::vector<Event>{{7, QStringLiteral("break")}, {23, QStringLiteral("rx AA")}}));
}

TEST(SimulatedLineLifetime, PendingDeliveriesOutliveTheLineHarmlessly)
{
    VirtualTimers timers;
    SimulatedMeter meter{[&timers] { return timers.now(); }};
    MeterEndpoint endpoint{meter};
    {
        SimulatedLine line{timers, endpoint};
        ASSERT_TRUE(line.open(QStringLiteral("COM1"), 4800));
        ASSERT_TRUE(line.write(QByteArray(1, '\0')));
    }
    timers.advance(100);
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Idle);
}

} // namespace
} // namespace ordan
