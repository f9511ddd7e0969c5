#pragma once

#include <chrono>

// The station's timings in one place: the protocol's, the window's and the bounds of every wait
// on a file or the database.
namespace ordan::timing {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// The next exchange starts at a tick of the send timer.
inline constexpr milliseconds kSendTick = 50ms;
// The first request after the port opened.
inline constexpr milliseconds kStartDelay = 100ms;
// The reply time-out, from the address byte to the last reply byte: the operator's choice
// between the bounds, in steps.
inline constexpr milliseconds kReplyTimeoutDefault = 1000ms;
inline constexpr milliseconds kReplyTimeoutMin = 200ms;
inline constexpr milliseconds kReplyTimeoutMax = 10000ms;
inline constexpr milliseconds kReplyTimeoutStep = 100ms;
// How long the green or red indicator stays lit after a write.
inline constexpr milliseconds kIndicatorLit = 2000ms;
// The date and time pickers follow the PC clock at this period.
inline constexpr milliseconds kClockFollower = 500ms;
// The zero byte that tells a present port from a missing one at start-up.
inline constexpr milliseconds kPortProbeWrite = 200ms;

// An append to the shared Setting.DBF waits this long for another program's append, trying
// again at each step (appends take milliseconds).
inline constexpr milliseconds kSettingTableLockWait = 10000ms;
inline constexpr milliseconds kSettingTableLockStep = 5ms;
// Opening the production database gives up after this; the window must not hang on a server
// that does not answer.
inline constexpr std::chrono::seconds kDatabaseLogin = 15s;
// A statement waits this long for a lock another session holds (as long as an append waits for
// Setting.DBF), and may run this long at all, before the server ends it with its own error.
inline constexpr milliseconds kDatabaseLockWait = 10000ms;
inline constexpr milliseconds kDatabaseStatementLimit = 15000ms;
// Closing the program waits this long for the records' worker to finish what was posted:
// longer than any one job may wait.
inline constexpr milliseconds kRecordsShutdownWait = 20000ms;

// For the Qt and timer interfaces that count in int milliseconds.
inline constexpr int Ms(milliseconds d) { return static_cast<int>(d.count()); }

} // namespace ordan::timing
