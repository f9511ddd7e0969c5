// Stopping a journal read on virtual time against the simulated meter: the journal's remaining
// requests go, the rows read stay, polling goes on, nothing is recorded; a write queued behind
// the read still runs and is recorded.
#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "journal_fixture.h"
#include "journals/journals.h"
#include "journals/xls_export_files.h"
#include "link/engine.h"
#include "link/poll_cycle.h"
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct JournalStopTest : ::testing::Test, test::JournalSimBench {
    Journals journals{engine, op, facts, files, [] { return 0; }};

    // One journal as the test drives it.
    struct Read {
        const char *name;
        quint8 code;
        Action &button;
        BoolField &reading;
        IntField &gauge;
        std::function<qsizetype()> rows;
    };
    std::vector<Read> reads()
    {
        AnnualJournal &a = journals.annual();
        ConsumptionJournal &c = journals.consumption();
        return {
            {"annual", 0x12, a.BitBtn4, a.Reading, a.Gauge1,
             [&a] {
                 qsizetype filled = 0;
                 for (int m = 1; m <= 12; ++m)
                     filled += a.GridJournal.value()[static_cast<size_t>(m)][1].isEmpty() ? 0 : 1;
                 return filled;
             }},
            {"consumption", 0x13, c.BitBtn3, c.Reading, c.Gauge2, [&c] { return c.ListView1.size(); }},
        };
    }

    JournalStopTest()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        host.onReplyAccepted = [this](quint8 code) { journals.replyAccepted(code); };
    }

    void connect()
    {
        ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
        ASSERT_TRUE(timers.advanceUntil([this] { return engine.sendCount() > 3; }, 5000));
    }
    qsizetype sentOf(quint8 code, size_t from = 0) const
    {
        const auto &r = endpoint.requests();
        return std::count_if(r.begin() + static_cast<std::ptrdiff_t>(std::min(from, r.size())), r.end(),
                             [code](const QByteArray &q) { return ByteAt(q, 0) == code; });
    }
    bool onlyPollsQueued() const
    {
        for (qsizetype i = 0; i < engine.commands().size(); ++i)
            if (!IsPollCode(ByteAt(engine.commands().at(i), 0)))
                return false;
        return !engine.commands().isEmpty();
    }
};

TEST_F(JournalStopTest, StopMidReadKeepsTheRowsAndPollingGoesOn)
{
    connect();
    for (const Read &r : reads()) {
        // Stopped while an exchange of the journal runs (its reply still comes and is shown),
        // and while its next request waits for the send timer (it goes at once).
        for (bool onTheWire : {true, false}) {
            const std::string what = std::string(r.name) + (onTheWire ? " on the wire" : " waiting");
            r.button.execute();
            ASSERT_TRUE(r.reading.value()) << what;
            const int halfway = r.code == 0x12 ? 5 : 60;
            ASSERT_TRUE(timers.advanceUntil(
                [&] {
                    return r.gauge.value() >= halfway && engine.awaitingReply() == onTheWire &&
                           ByteAt(engine.request(), 0) == r.code;
                },
                120000))
                << what;
            const qsizetype rows = r.rows();
            const size_t sent = endpoint.requests().size();
            const QByteArray current = engine.request();
            ASSERT_GT(rows, 0) << what;

            r.button.execute(); // "Стоп"
            EXPECT_EQ(engine.commands().count(r.code), onTheWire ? 1 : 0) << what;
            ASSERT_TRUE(timers.advanceUntil([&] { return !r.reading.value(); }, 15000)) << what;
            timers.advance(5000);

            EXPECT_EQ(r.rows(), rows + (onTheWire ? 1 : 0)) << what << ": the reply on the wire is shown";
            // Only the request whose address byte was out may still follow on the echo.
            const auto &requests = endpoint.requests();
            std::vector<QByteArray> asked;
            for (size_t i = sent; i < requests.size(); ++i)
                if (ByteAt(requests[i], 0) == r.code)
                    asked.push_back(requests[i]);
            EXPECT_LE(asked.size(), onTheWire ? 1u : 0u) << what << ": nothing more asked of the journal";
            if (!asked.empty()) {
                EXPECT_EQ(asked[0], current) << what;
            }
            EXPECT_GT(endpoint.requests().size(), sent + 20) << what << ": polling goes on";
            EXPECT_TRUE(onlyPollsQueued()) << what;
            EXPECT_FALSE(r.gauge.isVisible()) << what;
        }
    }
    EXPECT_EQ(host.records, 0);
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_EQ(engine.log().lineCount(), 0) << "no time-out, no failure";
}

TEST_F(JournalStopTest, WriteQueuedBehindTheReadStillRunsAndIsRecorded)
{
    connect();
    ConsumptionJournal &c = journals.consumption();
    c.BitBtn3.execute();
    ASSERT_TRUE(timers.advanceUntil([&] { return c.Gauge2.value() >= 30; }, 60000));
    // A write sequence of three requests queued behind the journal's pages.
    engine.beginWrite(WriteKind::Settings);
    for (int i = 0; i < 3; ++i)
        engine.EnqueueRequest(Bytes({0x04, 0x02}));
    const size_t sent = endpoint.requests().size();

    c.StopRead();
    EXPECT_LE(engine.commands().count(0x13), 1);
    EXPECT_EQ(engine.commands().count(0x04), 3);
    ASSERT_TRUE(timers.advanceUntil([&] { return host.records == 1; }, 15000));
    EXPECT_EQ(sentOf(0x04, sent), 3);
    EXPECT_LE(sentOf(0x13, sent), 0) << "the page on the wire was sent before";
    EXPECT_FALSE(engine.writePending(WriteKind::Settings));
    EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Green);
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(JournalStopTest, StopWithNothingReadingChangesNothing)
{
    connect();
    const qsizetype queued = engine.commands().size();
    journals.consumption().StopRead();
    journals.annual().StopRead();
    EXPECT_EQ(engine.commands().size(), queued);
    EXPECT_FALSE(journals.consumption().Reading.value());
    // Not connected: the read queues nothing, so there is nothing to stop.
    ASSERT_TRUE(engine.disconnectLine());
    journals.consumption().BitBtn3.execute();
    EXPECT_FALSE(journals.consumption().Reading.value());
    EXPECT_TRUE(engine.commands().isEmpty());
}

} // namespace
} // namespace ordan
