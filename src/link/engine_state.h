#pragma once

#include <QtGlobal>

namespace ordan {

// Where the engine stands between connecting and disconnecting: one value, so that no write
// is pending on a closed port. Not part of it, because each lives beside any state and across
// connections: the password offset, the address search and the open write-error box (which
// holds every exchange back until the operator closes it, also after a reconnect).
enum class EngineState : quint8 {
    Disconnected,
    Polling,         // connected; the queue and the poll cycle run
    WritingSettings, // a settings write queued: the queue running dry completes it
    WritingSchedule,
    WritingBoth, // one write queued behind the other; completed together
};

enum class EngineEvent : quint8 {
    Connected,
    Disconnected, // by the operator or because the port went away
    SettingsWriteBegun,
    ScheduleWriteBegun,
    QueueDrained, // the queue ran dry: a pending write has completed
    Failed,       // a time-out or a failed exchange abandoned the queue
    StartDropped, // the first request after connecting drops whatever was queued before it
};

inline constexpr bool IsWriting(EngineState s)
{
    return s == EngineState::WritingSettings || s == EngineState::WritingSchedule || s == EngineState::WritingBoth;
}

inline constexpr bool IsConnected(EngineState s) { return s != EngineState::Disconnected; }

// The whole table of transitions; what the engine does on the way (the indicator, the record,
// the box) it decides from the state it leaves.
inline constexpr EngineState NextState(EngineState s, EngineEvent e)
{
    using enum EngineState;
    switch (e) {
    case EngineEvent::Connected: return Polling;
    case EngineEvent::Disconnected: return Disconnected;
    case EngineEvent::SettingsWriteBegun:
        // Queued while disconnected, the frames are discarded at once: nothing to complete.
        if (s == Disconnected)
            return s;
        return s == WritingSchedule || s == WritingBoth ? WritingBoth : WritingSettings;
    case EngineEvent::ScheduleWriteBegun:
        if (s == Disconnected)
            return s;
        return s == WritingSettings || s == WritingBoth ? WritingBoth : WritingSchedule;
    case EngineEvent::QueueDrained:
    case EngineEvent::Failed:
    case EngineEvent::StartDropped: return IsWriting(s) ? Polling : s;
    }
    return s;
}

} // namespace ordan
