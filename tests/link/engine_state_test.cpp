#include "link/engine_state.h"

#include <gtest/gtest.h>

#include <array>

namespace ordan {
namespace {

TEST(EngineStateTest, TransitionTable)
{
    using E = EngineEvent;
    using enum EngineState;
    constexpr std::array events{E::Connected,    E::Disconnected, E::SettingsWriteBegun, E::ScheduleWriteBegun,
                                E::QueueDrained, E::Failed,       E::StartDropped};
    // One row per state: the state after each event, in the order above.
    const struct {
        EngineState from;
        std::array<EngineState, events.size()> to;
    } table[] = {
        {Disconnected, {Polling, Disconnected, Disconnected, Disconnected, Disconnected, Disconnected, Disconnected}},
        {Polling, {Polling, Disconnected, WritingSettings, WritingSchedule, Polling, Polling, Polling}},
        {WritingSettings, {Polling, Disconnected, WritingSettings, WritingBoth, Polling, Polling, Polling}},
        {WritingSchedule, {Polling, Disconnected, WritingBoth, WritingSchedule, Polling, Polling, Polling}},
        {WritingBoth, {Polling, Disconnected, WritingBoth, WritingBoth, Polling, Polling, Polling}},
    };
    for (const auto &row : table)
        for (size_t i = 0; i < events.size(); ++i)
            EXPECT_EQ(NextState(row.from, events[i]), row.to[i])
                << "from " << int(row.from) << " on event " << int(events[i]);
}

} // namespace
} // namespace ordan
