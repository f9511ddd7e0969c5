#pragma once

#include "core/timer.h"

#include <QtGlobal>

#include <functional>
#include <map>
#include <vector>

namespace ordan {

// Timers on virtual time for tests and the in-process simulated meter. Nothing happens
// until advance() is called; then every due tick and callback runs at its own moment, in
// the order of its due time (ties in the order they were scheduled).
class VirtualTimers final : public TimerFactory {
public:
    VirtualTimers();
    ~VirtualTimers() override;
    VirtualTimers(const VirtualTimers &) = delete;
    VirtualTimers &operator=(const VirtualTimers &) = delete;

    std::unique_ptr<Timer> createTimer(int intervalMs) override;

    qint64 now() const { return now_; }
    void advance(qint64 ms) { advanceTo(now_ + ms); }
    void advanceTo(qint64 time);
    // Advances in steps of at most stepMs until done() holds or maxMs have passed.
    bool advanceUntil(const std::function<bool()> &done, qint64 maxMs, qint64 stepMs = 1);

    // One-shot callback at now() + delayMs.
    void callAfter(qint64 delayMs, std::function<void()> callback);

private:
    class VirtualTimer;
    friend class VirtualTimer;

    struct Due {
        qint64 time;
        quint64 order;
        bool operator<(const Due &o) const { return time != o.time ? time < o.time : order < o.order; }
    };
    void schedule(VirtualTimer *t, qint64 time);
    void unschedule(VirtualTimer *t);
    bool runNextDueAtOrBefore(qint64 time);

    qint64 now_ = 0;
    quint64 order_ = 0;
    // A due entry is either a timer tick (timer != nullptr) or a callback.
    struct Entry {
        VirtualTimer *timer = nullptr;
        std::function<void()> callback;
    };
    std::map<Due, Entry> due_;
};

} // namespace ordan
