#pragma once

#include "core/timer.h"

namespace ordan {

// Timers of the running program: QTimer with precise timing, ticking on the main thread.
class QtTimers final : public TimerFactory {
public:
    std::unique_ptr<Timer> createTimer(int intervalMs) override;
};

} // namespace ordan
