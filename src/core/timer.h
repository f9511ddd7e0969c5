#pragma once

#include <functional>
#include <memory>

namespace ordan {

// A repeating millisecond timer with the semantics the station's handlers rely on:
// enabling an enabled timer does not restart it, and changing the interval of a running
// timer restarts it with the new interval. Ticks run on the thread that owns the timer.
class Timer {
public:
    virtual ~Timer() = default;

    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;

    void enable() { setEnabled(true); }
    void disable() { setEnabled(false); }
    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

protected:
    void fire()
    {
        if (handler_)
            handler_();
    }

private:
    std::function<void()> handler_;
};

class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> createTimer(int intervalMs) = 0;
};

} // namespace ordan
