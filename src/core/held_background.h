#pragma once

#include "core/background.h"

#include <QPointer>

#include <deque>

namespace ordan {

// Background for tests: runs each job and its continuation at once, in the caller's thread,
// or, while held, keeps them until the test lets them run, so that a test can look at the
// station while a database or a table is still waiting.
class HeldBackground final : public Background {
public:
    void post(QObject *context, std::function<void()> job, std::function<void()> done) override;

    void hold() { held_ = true; }
    // Runs what is waiting and everything posted from now on at once.
    void release();
    // Runs the oldest waiting job and its continuation; false when none waits.
    bool runNext();
    std::size_t waiting() const { return queue_.size(); }

private:
    struct Work {
        QPointer<QObject> context;
        bool hasContext = false;
        std::function<void()> job;
        std::function<void()> done;
    };
    static void run(Work &work);

    bool held_ = false;
    std::deque<Work> queue_;
};

} // namespace ordan
