#include "core/qt_timers.h"

#include <QTimer>

namespace ordan {

namespace {

class QtTimer final : public Timer {
public:
    explicit QtTimer(int interval)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { fire(); });
    }
    void setEnabled(bool on) override
    {
        if (on == timer_.isActive())
            return;
        if (on)
            timer_.start();
        else
            timer_.stop();
    }
    bool isEnabled() const override { return timer_.isActive(); }
    void setInterval(int ms) override
    {
        // QTimer::setInterval restarts an active timer with the new interval.
        timer_.setInterval(ms);
    }
    int interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<Timer> QtTimers::createTimer(int intervalMs) { return std::make_unique<QtTimer>(intervalMs); }

} // namespace ordan
