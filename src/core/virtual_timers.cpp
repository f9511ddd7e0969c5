#include "core/virtual_timers.h"

namespace ordan {

class VirtualTimers::VirtualTimer final : public Timer {
public:
    VirtualTimer(VirtualTimers *owner, int interval) : owner_(owner), interval_(interval) {}
    ~VirtualTimer() override
    {
        if (owner_)
            owner_->unschedule(this);
    }

    void setEnabled(bool on) override
    {
        if (on == enabled_)
            return;
        enabled_ = on;
        if (on)
            owner_->schedule(this, owner_->now() + interval_);
        else
            owner_->unschedule(this);
    }
    bool isEnabled() const override { return enabled_; }
    void setInterval(int ms) override
    {
        interval_ = ms;
        if (enabled_)
            owner_->schedule(this, owner_->now() + interval_);
    }
    int interval() const override { return interval_; }

    void tick()
    {
        // Re-arm first, so that a handler that stops or restarts the timer has the last word.
        owner_->schedule(this, owner_->now() + qMax(1, interval_));
        fire();
    }
    void detach() { owner_ = nullptr; }

private:
    VirtualTimers *owner_;
    int interval_;
    bool enabled_ = false;
};

VirtualTimers::VirtualTimers() = default;

VirtualTimers::~VirtualTimers()
{
    for (auto &[due, entry] : due_)
        if (entry.timer)
            entry.timer->detach();
}

std::unique_ptr<Timer> VirtualTimers::createTimer(int intervalMs)
{
    return std::make_unique<VirtualTimer>(this, intervalMs);
}

void VirtualTimers::schedule(VirtualTimer *t, qint64 time)
{
    unschedule(t);
    due_.emplace(Due{time, order_++}, Entry{t, {}});
}

void VirtualTimers::unschedule(VirtualTimer *t)
{
    for (auto it = due_.begin(); it != due_.end(); ++it) {
        if (it->second.timer == t) {
            due_.erase(it);
            return;
        }
    }
}

void VirtualTimers::callAfter(qint64 delayMs, std::function<void()> callback)
{
    due_.emplace(Due{now_ + qMax<qint64>(0, delayMs), order_++}, Entry{nullptr, std::move(callback)});
}

bool VirtualTimers::runNextDueAtOrBefore(qint64 time)
{
    if (due_.empty() || due_.begin()->first.time > time)
        return false;
    auto it = due_.begin();
    now_ = qMax(now_, it->first.time);
    Entry entry = std::move(it->second);
    due_.erase(it);
    if (entry.timer)
        entry.timer->tick();
    else if (entry.callback)
        entry.callback();
    return true;
}

void VirtualTimers::advanceTo(qint64 time)
{
    while (runNextDueAtOrBefore(time)) {
    }
    now_ = qMax(now_, time);
}

bool VirtualTimers::advanceUntil(const std::function<bool()> &done, qint64 maxMs, qint64 stepMs)
{
    const qint64 end = now_ + maxMs;
    while (!done()) {
        if (now_ >= end)
            return false;
        advanceTo(qMin(end, now_ + stepMs));
    }
    return true;
}

} // namespace ordan
