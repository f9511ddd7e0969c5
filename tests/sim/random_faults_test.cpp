#include "sim/random_faults.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ordan {
namespace {

// Which kind of fault a drawn set is, by the one field it sets.
std::string Kind(const Faults &f)
{
    if (f.noEcho)
        return "no-echo";
    if (f.wrongEcho)
        return "wrong-echo";
    if (f.silence)
        return "silence";
    if (f.errorCode)
        return "error";
    if (f.badCrc)
        return "bad-crc";
    if (f.wrongCode)
        return "wrong-code";
    if (f.extraBytes > 0)
        return "extra";
    if (f.strayByte)
        return "stray";
    if (f.chunkSize > 0)
        return "chunks";
    if (f.delayMs > 0)
        return "delay";
    return "none";
}

TEST(RandomFaults, RateKindsAndRepeatability)
{
    struct Case {
        int percent;
        int minActive;
        int maxActive;
    };
    for (const Case c : {Case{0, 0, 0}, Case{100, 2000, 2000}, Case{25, 400, 600}}) {
        RandomFaults dice(7, c.percent), again(7, c.percent);
        int active = 0;
        std::set<std::string> kinds;
        for (int i = 0; i < 2000; ++i) {
            const Faults f = dice.next();
            const Faults g = again.next();
            ASSERT_EQ(Kind(f), Kind(g)) << "the same seed draws the same faults";
            ASSERT_EQ(f.delayMs, g.delayMs);
            if (f.active()) {
                ++active;
                EXPECT_EQ(f.exchanges, 1) << "a drawn fault lasts one exchange";
                kinds.insert(Kind(f));
            } else {
                EXPECT_EQ(f.exchanges, 0);
            }
        }
        EXPECT_GE(active, c.minActive) << c.percent;
        EXPECT_LE(active, c.maxActive) << c.percent;
        if (c.percent == 100) {
            EXPECT_EQ(kinds.size(), 10u) << "every kind is drawn, none is dead";
        }
    }
}

TEST(RandomFaults, EndpointTakesEachExchangesFaultsFromTheSource)
{
    SimulatedMeter meter([] { return qint64(0); }, SampleMeterState(QDateTime(QDate(2026, 1, 1), QTime(0, 0))));
    MeterEndpoint endpoint(meter);
    int asked = 0;
    endpoint.setFaultSource([&asked] {
        Faults f;
        f.noEcho = ++asked == 2; // only the second exchange goes unanswered
        f.exchanges = 1;
        return f;
    });
    const char own = static_cast<char>(meter.state().busAddress);
    EXPECT_EQ(endpoint.receive(QByteArrayView(&own, 1), 0).size(), 1u);
    EXPECT_TRUE(endpoint.receive(QByteArrayView(&own, 1), 1000).empty());
    EXPECT_EQ(endpoint.receive(QByteArrayView(&own, 1), 2000).size(), 1u);
    EXPECT_EQ(asked, 3);
}

} // namespace
} // namespace ordan
